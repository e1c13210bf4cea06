// libFuzzer target for the settings file's reader and writer (IniDocument and ProfileInt).
//
// Input: the file's bytes, optionally followed by 0x1D and an edit "section 0x1F key 0x1F text".
// Without that edit, the target edits a key the file itself names, with section, key and text
// pointing into the document's own bytes.
//
// For any input, nothing crashes or hangs, and:
// - reading agrees with an independent reading of the format described in IniDocument.h, and
//   ProfileInt() with an independent reading of integers;
// - setValue() with three that canStore() refuses changes nothing; anything that keeps to the
//   documented rules is accepted;
// - setValue() with three that canStore() accepts makes the key read back as written and changes
//   nothing else: an existing key gets its value replaced inside its line, the blanks around the
//   value kept; a missing key becomes one whole line right after the last key line of its section
//   (or its header); a missing section becomes a header and a key line at the end of the file. New
//   lines use the line end of the file's first line, and an unterminated last line gets one first.
//   Every other key reads as before, and no key appears or disappears but the one written;
// - writing the seven settings one after the other reads back all seven, and writing them again
//   leaves the bytes alone (so a save of unchanged settings writes nothing).

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/IniDocument.h"
#include "settings/SettingsStore.h"

namespace quenterra {
namespace {

[[noreturn]] void fail(const char* what, int line)
{
    std::fprintf(stderr, "fuzz_inidocument.cpp:%d: check failed: %s\n", line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)           \
    do {                                \
        if (!(condition)) {             \
            fail(#condition, __LINE__); \
        }                               \
    } while (false)

constexpr char kEditMark = '\x1D';
constexpr char kPartMark = '\x1F';
constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF");
// Each document is asked for at most this many keys through IniDocument::value(); every query
// walks the whole file.
constexpr std::size_t kMaxQueries = 24;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

QByteArrayView trim(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

QByteArray lower(QByteArrayView name)
{
    QByteArray result = name.toByteArray();
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return result;
}

QByteArray swapCase(QByteArrayView name)
{
    QByteArray result = name.toByteArray();
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        } else if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - ('a' - 'A'));
        }
    }
    return result;
}

// ---- An independent reading of the file ------------------------------------------------------

enum class Kind { Other, Header, Key };

struct ModelLine {
    qsizetype begin = 0;  // its first byte
    qsizetype end = 0;    // its line end, or the end of the file
    bool hasEnd = false;
    Kind kind = Kind::Other;
    qsizetype nameBegin = 0;  // the trimmed name of a header or a key
    qsizetype nameEnd = 0;
    qsizetype valueBegin = 0;           // a key line: just after its first "="
    std::optional<std::size_t> header;  // a key line: the header line above it, if any
};

using Name = std::pair<QByteArray, QByteArray>;  // section and key, in ASCII lower case

struct Model {
    QByteArray bytes;
    std::vector<ModelLine> lines;
    std::map<QByteArray, std::size_t> lastLineOfSection;  // the header or the last key line
    std::map<Name, std::size_t> keys;                     // every key that can be read: its line
    QByteArray lineEnd;

    QByteArrayView name(const ModelLine& line) const
    {
        return QByteArrayView(bytes).sliced(line.nameBegin, line.nameEnd - line.nameBegin);
    }
    QByteArrayView rawValue(const ModelLine& line) const
    {
        return QByteArrayView(bytes).sliced(line.valueBegin, line.end - line.valueBegin);
    }
    std::optional<QByteArray> value(const Name& name) const
    {
        const auto found = keys.find(name);
        if (found == keys.end()) {
            return std::nullopt;
        }
        return trim(rawValue(lines[found->second])).toByteArray();
    }
    std::map<Name, QByteArray> values() const
    {
        std::map<Name, QByteArray> all;
        for (const auto& entry : keys) {
            all.emplace(entry.first, *value(entry.first));
        }
        return all;
    }
};

Model readModel(const QByteArray& bytes)
{
    Model model;
    model.bytes = bytes;
    const QByteArrayView all(model.bytes);
    // Split into lines first, then look at each on its own.
    // A line ends with LF, CR LF or CR.
    for (qsizetype begin = 0; begin < all.size();) {
        ModelLine line;
        line.begin = begin;
        line.end = begin;
        while (line.end < all.size() && !isLineEnd(all[line.end])) {
            ++line.end;
        }
        line.hasEnd = line.end < all.size();
        begin = line.end + (all.sliced(line.end).startsWith("\r\n") ? 2 : line.hasEnd ? 1 : 0);
        model.lines.push_back(line);
        if (model.lines.size() == 1) {
            model.lineEnd =
                line.hasEnd ? all.sliced(line.end, begin - line.end).toByteArray() : "\n";
        }
    }
    std::optional<std::size_t> header;
    for (std::size_t i = 0; i < model.lines.size(); ++i) {
        ModelLine& line = model.lines[i];
        qsizetype start = line.begin;
        if (i == 0 && all.sliced(0, line.end).startsWith(kByteOrderMark)) {
            start += kByteOrderMark.size();
        }
        while (start < line.end && isBlank(all[start])) {
            ++start;
        }
        const QByteArrayView text = all.sliced(start, line.end - start);
        if (text.isEmpty() || text.front() == ';' || text.front() == '#') {
            continue;
        }
        const qsizetype close = text.indexOf(']');
        const qsizetype equals = text.indexOf('=');
        QByteArrayView name;
        if (text.front() == '[' && close >= 0) {
            line.kind = Kind::Header;
            name = trim(text.sliced(1, close - 1));
            header = i;
        } else if (equals >= 0) {
            line.kind = Kind::Key;
            name = trim(text.first(equals));
            line.valueBegin = start + equals + 1;
            line.header = header;
        } else {
            continue;
        }
        line.nameBegin = name.data() - all.data();
        line.nameEnd = line.nameBegin + name.size();
    }
    // Only the first section of each name is read, and in it the first key of each name.
    std::map<QByteArray, bool> seen;
    std::optional<QByteArray> section;
    for (std::size_t i = 0; i < model.lines.size(); ++i) {
        const ModelLine& line = model.lines[i];
        const QByteArray name = lower(model.name(line));
        if (line.kind == Kind::Header) {
            section.reset();
            if (seen.emplace(name, true).second) {
                section = name;
                model.lastLineOfSection[name] = i;
            }
        } else if (line.kind == Kind::Key && section) {
            model.lastLineOfSection[*section] = i;
            model.keys.emplace(Name{*section, name}, i);
        }
    }
    if (model.lines.empty()) {
        model.lineEnd = "\n";
    }
    return model;
}

// The value without quotes around it.
QByteArrayView unquote(QByteArrayView text)
{
    if (text.size() >= 2 && (text.startsWith('"') || text.startsWith('\'')) &&
        text.back() == text.front()) {
        return text.sliced(1, text.size() - 2);
    }
    return text;
}

// An independent reading of an integer value: quotes, control characters and blanks, sign, a base
// prefix, digits, saturated at 32 bits.
qint32 expectedInt(QByteArrayView text)
{
    text = unquote(text);
    qsizetype pos = 0;
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) <= 0x20) {
        ++pos;
    }
    const bool negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        ++pos;
    }
    int base = 10;
    for (const auto& [prefix, prefixBase] : {std::pair{"0x", 16}, {"0o", 8}, {"0b", 2}}) {
        if (text.sliced(pos).startsWith(prefix)) {
            base = prefixBase;
            pos += 2;
            break;  // "0x0b" is eleven
        }
    }
    const auto digitOf = [](char c) {
        const std::string digits = "0123456789abcdefghijklmnopqrstuvwxyz";
        const std::size_t at = digits.find(lower(QByteArrayView(&c, 1)).front());
        return at == std::string::npos ? 99 : static_cast<int>(at);
    };
    while (pos < text.size() && text[pos] == '0') {
        ++pos;
    }
    std::string digits;
    for (; pos < text.size() && digitOf(text[pos]) < base; ++pos) {
        digits += text[pos];
    }
    // The most digits a number within 32 bits has in each base.
    const std::size_t most = base == 16 ? 8 : base == 8 ? 11 : base == 2 ? 32 : 10;
    if (digits.size() > most) {
        return negative ? INT32_MIN : INT32_MAX;
    }
    const long long number =
        digits.empty() ? 0 : std::stoll(digits, nullptr, base) * (negative ? -1 : 1);
    return number < INT32_MIN ? INT32_MIN
                              : (number > INT32_MAX ? INT32_MAX : static_cast<qint32>(number));
}

// IniDocument::value() and ProfileInt() agree with the model on (section, key), as spelled.
void checkQuery(const IniDocument& document, const Model& model, QByteArrayView section,
                QByteArrayView key)
{
    const std::optional<QByteArray> expected = model.value({lower(section), lower(key)});
    FUZZ_CHECK(document.value(section, key) == expected);
    constexpr qint32 kDefault = -77777;
    const qint32 number = ProfileInt(document, section, key, kDefault);
    FUZZ_CHECK(number ==
               (expected && !unquote(*expected).isEmpty() ? expectedInt(*expected) : kDefault));
}

// Asks the document for the keys of up to kMaxQueries key lines, each under the name of the header
// above it, alternately as spelled and with the ASCII case swapped: keys that are read and keys
// that are not (a second key or section of the same name), plus the seven settings and `also`.
void checkReading(const IniDocument& document, const Model& model, const Name& also)
{
    std::vector<std::size_t> keyLines;
    for (std::size_t i = 0; i < model.lines.size(); ++i) {
        if (model.lines[i].kind == Kind::Key && model.lines[i].header) {
            keyLines.push_back(i);
        }
    }
    const std::size_t step = keyLines.size() / kMaxQueries + 1;
    for (std::size_t n = 0; n < keyLines.size(); n += step) {
        const ModelLine& line = model.lines[keyLines[n]];
        const QByteArrayView section = model.name(model.lines[*line.header]);
        const QByteArrayView key = model.name(line);
        if (n / step % 2 == 0) {
            checkQuery(document, model, section, key);
        } else {
            checkQuery(document, model, swapCase(section), swapCase(key));
        }
    }
    for (const SettingRow& row : kSettingRows) {
        checkQuery(document, model, row.section, row.key);
    }
    checkQuery(document, model, also.first, also.second);
}

// ---- The edit ---------------------------------------------------------------------------------

// Sets (section, key) to text in document, whose bytes model reads, and checks the bytes and the
// value written; with everything, also every other value. The three may point into the document's
// own bytes. Returns the model of the new bytes.
Model checkEdit(IniDocument& document, const Model& model, QByteArrayView sectionView,
                QByteArrayView keyView, QByteArrayView textView, bool everything = true)
{
    const QByteArray section = sectionView.toByteArray();
    const QByteArray key = keyView.toByteArray();
    const QByteArray text = textView.toByteArray();
    const bool storable = IniDocument::canStore(section, key, text);
    document.setValue(sectionView, keyView, textView);

    const QByteArray& before = model.bytes;
    const QByteArray& after = document.bytes();
    if (!storable) {
        FUZZ_CHECK(after == before);
        return model;
    }
    FUZZ_CHECK(document.value(section, key) == text);
    FUZZ_CHECK(document.value(swapCase(section), swapCase(key)) == text);

    const Name target{lower(section), lower(key)};
    const QByteArray newLine = key + '=' + text + model.lineEnd;
    if (const auto found = model.keys.find(target); found != model.keys.end()) {
        // The value is replaced inside its line; the blanks around it stay.
        const ModelLine& line = model.lines[found->second];
        const QByteArrayView old = model.rawValue(line);
        const QByteArrayView oldText = trim(old);
        if (oldText == QByteArrayView(text)) {
            FUZZ_CHECK(after == before);
        } else if (oldText.isEmpty()) {
            // A blank value: the text goes somewhere among the blanks after "=".
            qsizetype at = 0;
            while (at < before.size() && at < after.size() && before[at] == after[at]) {
                ++at;
            }
            FUZZ_CHECK(at >= line.valueBegin && at <= line.end);
            FUZZ_CHECK(after == before.first(at) + text + before.sliced(at));
        } else {
            const qsizetype textBegin = oldText.data() - before.constData();
            const qsizetype textEnd = textBegin + oldText.size();
            FUZZ_CHECK(after == before.first(textBegin) + text + before.sliced(textEnd));
        }
    } else if (const auto last = model.lastLineOfSection.find(target.first);
               last != model.lastLineOfSection.end()) {
        // A new line after the section's last key line, or after its header.
        const ModelLine& line = model.lines[last->second];
        if (line.hasEnd) {
            const qsizetype next = line.end + (before.sliced(line.end).startsWith("\r\n") ? 2 : 1);
            FUZZ_CHECK(after == before.first(next) + newLine + before.sliced(next));
        } else {
            FUZZ_CHECK(after == before + model.lineEnd + newLine);
        }
    } else {
        // A new section at the end.
        const QByteArray endLastLine =
            before.isEmpty() || isLineEnd(before.back()) ? QByteArray() : model.lineEnd;
        FUZZ_CHECK(after == before + endLastLine + '[' + section + ']' + model.lineEnd + newLine);
    }

    Model next = readModel(after);
    if (everything) {
        std::map<Name, QByteArray> expected = model.values();
        expected[target] = text;
        FUZZ_CHECK(next.values() == expected);
        checkReading(document, next, target);
    }
    return next;
}

// Makes three that canStore() must accept, keeping what it can of the given ones.
std::vector<QByteArray> storableFrom(QByteArray section, QByteArray key, QByteArray text)
{
    const auto clean = [](QByteArray part, const char* unwanted) {
        for (const char* c = unwanted; *c != '\0'; ++c) {
            part.replace(*c, QByteArray());
        }
        return trim(part).toByteArray();
    };
    section = clean(section, "\r\n]");
    key = clean(key, "\r\n=");
    while (!key.isEmpty() && (key.front() == ';' || key.front() == '#' || key.front() == '[')) {
        key = trim(QByteArrayView(key).sliced(1)).toByteArray();
    }
    text = clean(text, "\r\n");
    return {section.isEmpty() ? QByteArray("S") : section, key.isEmpty() ? QByteArray("K") : key,
            text};
}

std::uint32_t hashOf(QByteArrayView bytes)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

void fuzzOne(QByteArrayView input)
{
    const qsizetype mark = input.lastIndexOf(kEditMark);
    const QByteArray bytes = (mark >= 0 ? input.first(mark) : input).toByteArray();
    const Model model = readModel(bytes);
    IniDocument document(bytes);
    checkReading(document, model, {"target date", "year"});

    QByteArray section = "Target Date";
    QByteArray key = "Year";
    QByteArray text = "2027";
    Model edited = model;
    if (mark >= 0) {
        // The text is all that follows the key, 0x1F included.
        QByteArrayView rest = input.sliced(mark + 1);
        const auto nextPart = [&rest] {
            const qsizetype end = rest.indexOf(kPartMark);
            const QByteArray part = (end >= 0 ? rest.first(end) : rest).toByteArray();
            rest = end >= 0 ? rest.sliced(end + 1) : QByteArrayView();
            return part;
        };
        section = nextPart();
        key = nextPart();
        text = rest.toByteArray();
        edited = checkEdit(document, model, section, key, text);
    } else {
        // A key line of the file picks the section, the key and the text, which are passed as
        // views of the document's own bytes.
        std::vector<std::size_t> keyLines;
        for (std::size_t i = 0; i < model.lines.size(); ++i) {
            if (model.lines[i].kind == Kind::Key && model.lines[i].header) {
                keyLines.push_back(i);
            }
        }
        if (!keyLines.empty()) {
            const std::uint32_t hash = hashOf(bytes);
            const ModelLine& line = model.lines[keyLines[hash % keyLines.size()]];
            const ModelLine& source = model.lines[keyLines[(hash >> 16) % keyLines.size()]];
            const QByteArrayView own(document.bytes());
            const auto view = [&](qsizetype begin, qsizetype end) {
                return own.sliced(begin, end - begin);
            };
            const ModelLine& header = model.lines[*line.header];
            section = view(header.nameBegin, header.nameEnd).toByteArray();
            key = view(line.nameBegin, line.nameEnd).toByteArray();
            text = trim(view(source.valueBegin, source.end)).toByteArray();
            edited = checkEdit(document, model, view(header.nameBegin, header.nameEnd),
                               view(line.nameBegin, line.nameEnd),
                               trim(view(source.valueBegin, source.end)));
        }
    }

    // Three that keep to the documented rules are accepted, and the edit behaves as above.
    const std::vector<QByteArray> storable = storableFrom(section, key, text);
    FUZZ_CHECK(IniDocument::canStore(storable[0], storable[1], storable[2]));
    edited = checkEdit(document, edited, storable[0], storable[1], storable[2]);

    // A save of the seven settings: the seven read back, nothing else changes, and a second save
    // changes nothing.
    const std::map<Name, QByteArray> unsaved = edited.values();
    std::map<Name, QByteArray> expected = unsaved;
    std::vector<QByteArray> texts;
    for (std::size_t i = 0; i < kSettingRows.size(); ++i) {
        texts.push_back(i % 2 == 0 ? storable[2] : QByteArray::number(2012 + i * 7));
        expected[{lower(kSettingRows[i].section), lower(kSettingRows[i].key)}] = texts[i];
    }
    for (std::size_t i = 0; i < kSettingRows.size(); ++i) {
        edited = checkEdit(document, edited, kSettingRows[i].section, kSettingRows[i].key, texts[i],
                           false);
    }
    FUZZ_CHECK(edited.values() == expected);
    checkReading(document, edited, {"target date", "year"});
    const QByteArray saved = document.bytes();
    for (std::size_t i = 0; i < kSettingRows.size(); ++i) {
        FUZZ_CHECK(document.value(kSettingRows[i].section, kSettingRows[i].key) == texts[i]);
        document.setValue(kSettingRows[i].section, kSettingRows[i].key, texts[i]);
    }
    FUZZ_CHECK(document.bytes() == saved);
}

}  // namespace
}  // namespace quenterra

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quenterra::fuzzOne(QByteArrayView(data, static_cast<qsizetype>(size)));
    return 0;
}
