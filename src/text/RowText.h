#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace tallemo {

// A row or rewritten line built cell by cell in one buffer that the converter reuses for every
// line. QString::append checks for sharing, aliasing and free room at both ends on each call,
// which costs more than copying a short cell, and a row takes half a dozen of them.
class RowText {
public:
    void clear() { m_size = 0; }
    void append(QStringView s) {
        // An empty view may have no data at all, which memcpy must not be given.
        if (s.isEmpty())
            return;
        char16_t* const at = makeRoom(s.size());
        std::memcpy(at, s.utf16(), static_cast<std::size_t>(s.size()) * sizeof(char16_t));
        m_size += s.size();
    }
    void append(char16_t c) {
        *makeRoom(1) = c;
        ++m_size;
    }
    // The decimal digits of n, as QString::number writes them, without a string of their own.
    void appendNumber(int n) {
        std::array<char, 16> digits{};
        const char* const end = std::to_chars(digits.begin(), digits.end(), n).ptr;
        char16_t* at = makeRoom(end - digits.data());
        for (const char* d = digits.data(); d != end; ++d)
            *at++ = static_cast<char16_t>(*d);
        m_size += end - digits.data();
    }
    // Keeps the first n units (n <= size()).
    void truncate(qsizetype n) { m_size = n; }
    qsizetype size() const { return m_size; }
    // Valid until the next change.
    QStringView view() const { return {m_units.data(), m_size}; }

private:
    // Where `more` units can go, after the ones there are.
    char16_t* makeRoom(qsizetype more) {
        if (m_size + more > static_cast<qsizetype>(m_units.size()))
            m_units.resize(
                std::max<std::size_t>(2 * m_units.size(), static_cast<std::size_t>(m_size + more)));
        return m_units.data() + m_size;
    }

    std::vector<char16_t> m_units;
    qsizetype m_size = 0;
};

} // namespace tallemo
