#pragma once
// The help menu's web pages, opened with the desktop's browser.

#include "base/ProductInfo.h"

#include <QString>

// The address for page and keyword built from the settings' web source.
QString WebPageAddress(const QString& webSource, const QString& page, const QString& keyword);

// Opens that address with the desktop's browser; tells the user (message 147) when it cannot.
void OpenWebPage(const QString& page, const QString& keyword);
void OpenInBrowser(const QString& address);
