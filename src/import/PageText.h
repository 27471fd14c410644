#pragma once

#include <QByteArray>
#include <QString>

namespace quorvex {

// The text a browser gives as document.body.innerText for an HTML page: the markup parsed as
// HTML5, hidden content left out (head, script, style, template, noscript, form fields, the
// hidden attribute, inline display:none and visibility:hidden), block elements and table rows
// on lines of their own, table cells separated by a tab, <br> a line break, white space
// collapsed as a browser renders it. Style sheets are not applied.
//
// contentType is the HTTP Content-Type header; its charset, else the page's own BOM or
// <meta charset>, else UTF-8 decodes the bytes.
//
// A page that nests its elements deeper than kMaxPageNesting is refused (no text, and the reason
// in error): parsing such markup takes time that grows with the square of the depth.
constexpr int kMaxPageNesting = 1000;
// So is a page whose parse would take more memory than kParseMemoryPerByte times its size, and
// at least kMinParseMemory: any results page fits easily, while markup made of little but tags
// would take up to 60 times its size.
constexpr qint64 kParseMemoryPerByte = 6;
constexpr qint64 kMinParseMemory = 32 * 1024 * 1024;
QString pageInnerText(const QByteArray& html, const QByteArray& contentType = {},
                      QString* error = nullptr);

} // namespace quorvex
