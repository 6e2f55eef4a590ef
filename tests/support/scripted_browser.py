#!/usr/bin/env python3
"""What the tests put into BROWSER: plays the user who consents at once.

Takes the URL as its argument, GETs it without following the redirect, then
GETs the Location (the program's loopback redirect), so the program receives
the code. With SCRIPTED_BROWSER_LOG set, every URL opened is appended to that
file, one a line, so a test can tell whether a browser was opened at all.
"""

import http.client
import os
import sys
from urllib.parse import urlsplit


def get(url):
    parts = urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port or 80, timeout=30)
    target = parts.path or "/"
    if parts.query:
        target += "?" + parts.query
    connection.request("GET", target)
    response = connection.getresponse()
    response.read()
    location = response.getheader("Location")
    connection.close()
    return response.status, location


def main():
    if len(sys.argv) < 2:
        print("usage: scripted_browser.py URL", file=sys.stderr)
        return 2
    url = sys.argv[1]
    log = os.environ.get("SCRIPTED_BROWSER_LOG")
    if log:
        with open(log, "a", encoding="utf-8") as file:
            file.write(url + "\n")
    status, location = get(url)
    # A consent page that never redirects leaves the program waiting, as a user who walked away would.
    if status in (301, 302, 303, 307, 308) and location:
        get(location)
    return 0


if __name__ == "__main__":
    sys.exit(main())
