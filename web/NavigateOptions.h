#pragma once
#include <QString>
#include <optional>

// The optional arguments of a navigation: absent ones are not given at all. PostData present
// (even empty) makes the navigation a POST of that text, encoded in the ANSI code page (GBK),
// with Headers (CR LF appended) as extra request headers.
struct NavigateOptions {
    std::optional<QString> flags;
    std::optional<QString> TargetFrameName;
    std::optional<QString> PostData;
    std::optional<QString> Headers;
};
