#pragma once

#include <QUrl>

// Opens a page in the user's browser: the command named by the BROWSER
// variable when it is set (the URL as its argument, or in place of "%s"),
// else the desktop's browser. Returns whether a browser was started.
bool openInBrowser(const QUrl& url);
