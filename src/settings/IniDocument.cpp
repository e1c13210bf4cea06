#include "settings/IniDocument.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quenterra {

namespace {

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// A range of byte positions [begin, end).
struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;

    QByteArrayView in(QByteArrayView bytes) const { return bytes.sliced(begin, end - begin); }
};

Span trimmed(QByteArrayView bytes, Span span)
{
    while (span.begin < span.end && isBlank(bytes[span.begin])) {
        ++span.begin;
    }
    while (span.end > span.begin && isBlank(bytes[span.end - 1])) {
        --span.end;
    }
    return span;
}

enum class LineKind { Other, Header, Key };

struct Line {
    qsizetype next = 0;   // where the following line starts
    bool hasEnd = false;  // whether the line has a line end
    LineKind kind = LineKind::Other;
    Span name;   // a header's section name or a key line's key, trimmed
    Span value;  // a key line's text after the first "=", untrimmed
};

// Reads the line that starts at begin (< bytes.size()).
Line readLine(QByteArrayView bytes, qsizetype begin)
{
    Line line;
    qsizetype end = begin;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') {
        ++end;
    }
    line.hasEnd = end < bytes.size();
    line.next = bytes.sliced(end).startsWith("\r\n") ? end + 2 : end + (line.hasEnd ? 1 : 0);

    qsizetype pos = begin;
    if (begin == 0 && bytes.first(end).startsWith(kByteOrderMark)) {
        pos = kByteOrderMark.size();
    }
    while (pos < end && isBlank(bytes[pos])) {
        ++pos;
    }
    if (pos == end || bytes[pos] == ';' || bytes[pos] == '#') {
        return line;
    }
    const QByteArrayView text = bytes.sliced(pos, end - pos);
    if (text.front() == '[') {
        const qsizetype close = text.indexOf(']');
        if (close >= 0) {
            line.kind = LineKind::Header;
            line.name = trimmed(bytes, {pos + 1, pos + close});
            return line;
        }
    }
    const qsizetype equals = text.indexOf('=');
    if (equals >= 0) {
        line.kind = LineKind::Key;
        line.name = trimmed(bytes, {pos, pos + equals});
        line.value = {pos + equals + 1, end};
    }
    return line;
}

// Where a key of a section is, or where it would go.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    qsizetype insertAt = 0;      // after the section's header or its last key line
    bool insertAfterEnd = true;  // whether the line before insertAt has a line end
    Span value;                  // the found key's text after "="
};

Location locate(QByteArrayView bytes, QByteArrayView section, QByteArrayView key)
{
    Location at;
    for (qsizetype begin = 0; begin < bytes.size();) {
        const Line line = readLine(bytes, begin);
        begin = line.next;
        if (line.kind == LineKind::Header) {
            if (at.sectionFound) {
                break;
            }
            if (sameName(line.name.in(bytes), section)) {
                at.sectionFound = true;
                at.insertAt = line.next;
                at.insertAfterEnd = line.hasEnd;
            }
        } else if (line.kind == LineKind::Key && at.sectionFound) {
            at.insertAt = line.next;
            at.insertAfterEnd = line.hasEnd;
            if (sameName(line.name.in(bytes), key)) {
                at.keyFound = true;
                at.value = line.value;
                break;
            }
        }
    }
    return at;
}

// The file's line end: that of its first line, a line feed when it has none.
QByteArray lineEndOf(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            return bytes.sliced(i, bytes.sliced(i).startsWith("\r\n") ? 2 : 1).toByteArray();
        }
    }
    return "\n";
}

// The text without the quotes around it, as the profile functions read it: "7" and '7' read 7.
QByteArrayView unquoted(QByteArrayView text)
{
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                        text.back() == text.front();
    return quoted ? text.sliced(1, text.size() - 2) : text;
}

bool hasNoOuterBlanks(QByteArrayView text)
{
    return text.isEmpty() || (!isBlank(text.front()) && !isBlank(text.back()));
}

}  // namespace

IniDocument::IniDocument(QByteArray bytes) : bytes_(std::move(bytes)) {}

const QByteArray& IniDocument::bytes() const
{
    return bytes_;
}

std::optional<QByteArray> IniDocument::value(QByteArrayView section, QByteArrayView key) const
{
    const Location at = locate(bytes_, section, key);
    if (!at.keyFound) {
        return std::nullopt;
    }
    return trimmed(bytes_, at.value).in(bytes_).toByteArray();
}

void IniDocument::setValue(QByteArrayView section, QByteArrayView key, QByteArrayView text)
{
    if (!canStore(section, key, text)) {
        return;
    }
    // Copies first: the arguments may point into bytes_ itself.
    const QByteArray newSection = section.toByteArray();
    const QByteArray newKey = key.toByteArray();
    const QByteArray newText = text.toByteArray();

    const Location at = locate(bytes_, newSection, newKey);
    if (at.keyFound) {
        Span old = trimmed(bytes_, at.value);
        if (old.begin == old.end) {
            // A blank value: the new text goes after the spaces and tabs that follow "=".
            old.begin = at.value.begin;
            while (old.begin < at.value.end &&
                   (bytes_[old.begin] == ' ' || bytes_[old.begin] == '\t')) {
                ++old.begin;
            }
            old.end = old.begin;
        }
        if (old.in(bytes_) != QByteArrayView(newText)) {
            bytes_.replace(old.begin, old.end - old.begin, newText);
        }
        return;
    }

    const QByteArray lineEnd = lineEndOf(bytes_);
    qsizetype insertAt = at.insertAt;
    bool afterEnd = at.insertAfterEnd;
    QByteArray lines;
    if (!at.sectionFound) {
        insertAt = bytes_.size();
        afterEnd = bytes_.isEmpty() || bytes_.endsWith('\n') || bytes_.endsWith('\r');
    }
    if (!afterEnd) {
        lines += lineEnd;
    }
    if (!at.sectionFound) {
        lines += '[' + newSection + ']' + lineEnd;
    }
    lines += newKey + '=' + newText + lineEnd;
    bytes_.insert(insertAt, lines);
}

void IniDocument::insertComment(QByteArrayView text)
{
    if (!text.contains('\n') && !text.contains('\r')) {
        const qsizetype at = bytes_.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
        bytes_.insert(at, "; " + text.toByteArray() + lineEndOf(bytes_));
    }
}

bool IniDocument::canStore(QByteArrayView section, QByteArrayView key, QByteArrayView text)
{
    for (const QByteArrayView part : {section, key, text}) {
        if (part.contains('\n') || part.contains('\r') || !hasNoOuterBlanks(part)) {
            return false;
        }
    }
    return !section.isEmpty() && !key.isEmpty() && !section.contains(']') && !key.contains('=') &&
           key.front() != ';' && key.front() != '#' && key.front() != '[';
}

bool AsciiCompatible(QByteArrayView bytes)
{
    return !bytes.contains('\0') && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF");
}

qint32 ParseProfileInt(QByteArrayView text)
{
    text = unquoted(text);
    qsizetype pos = 0;
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos + 1 < text.size() && text[pos] == '0') {
        const char prefix = text[pos + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        pos += base == 10 ? 0 : 2;
    }
    const qint64 limit = negative ? -qint64(std::numeric_limits<qint32>::min())
                                  : qint64(std::numeric_limits<qint32>::max());
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char c = asciiLower(text[pos]);
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
        if (digit >= base) {
            break;
        }
        magnitude = std::min(limit, magnitude * base + digit);
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

qint32 ProfileInt(const IniDocument& document, QByteArrayView section, QByteArrayView key,
                  qint32 defaultValue)
{
    const std::optional<QByteArray> text = document.value(section, key);
    // Like the Windows call it stands in for, an empty value reads as the default.
    if (!text || unquoted(*text).isEmpty()) {
        return defaultValue;
    }
    return ParseProfileInt(*text);
}

}  // namespace quenterra
