// SPDX-License-Identifier: MIT
#pragma once

#include <QTest>

// Qt 6.8's QTRY_ macros narrow their timeout's std::chrono count (a long) to int inside the code
// that uses them, where -Wconversion sees it and fails the build; the narrowing is Qt's, of a
// count of a few thousand milliseconds. Only those expansions go unwarned.
#define VELTRASK_QTRY(...)                                                                         \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wconversion\"") __VA_ARGS__; \
    _Pragma("GCC diagnostic pop")
