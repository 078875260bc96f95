#pragma once
// gtest shows a QString that differs as its text, not as UTF-16 code units.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
