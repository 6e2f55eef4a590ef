// Controls are added here.
