#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace quenterra {

// The settings file as bytes, read and edited in place without touching anything but the one line
// an edit is about.
//
// Lines end with LF, CRLF or CR alone; the last line may lack a line end. A header line is "[name]"
// (blanks before "[" allowed, anything after "]" ignored). A key line is "key=value" inside a
// section. Lines starting with ";" or "#" are comments. Lines before the first header and lines
// without "=" are kept but never read. Names match ASCII case-insensitively; when a section or a
// key appears twice, the first one counts. Blanks are space and tab.
class IniDocument {
public:
    explicit IniDocument(QByteArray bytes = {});

    const QByteArray& bytes() const;

    // The value of key in section, blanks around it removed; nullopt when the section or the key is
    // missing.
    std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;

    // Sets key in section to text, changing only that key's line: the key's spelling and the blanks
    // around "=" and around the value stay. A missing key is added after the last key line of its
    // section, a missing section (with the key) at the end of the file, using the file's line ends.
    // Does nothing when the three cannot be stored as given (see canStore()).
    void setValue(QByteArrayView section, QByteArrayView key, QByteArrayView text);

    // Puts the comment line "; text" at the top of the file (after a byte order mark), with the
    // file's line end. Does nothing when text holds a line end.
    void insertComment(QByteArrayView text);

    // Whether setValue(section, key, text) can store the three so that value() reads text back:
    // none is empty but text, none begins or ends with a blank, none holds a line end; the section
    // holds no "]"; the key holds no "=" and does not begin with ";", "#" or "[".
    static bool canStore(QByteArrayView section, QByteArrayView key, QByteArrayView text);

private:
    QByteArray bytes_;
};

// Whether bytes can be read as a settings file: text in an encoding that keeps ASCII as it is
// (ASCII, UTF-8, Latin-1 and the like). UTF-16 and UTF-32 text, with or without a byte order mark,
// is not: it holds NUL bytes, or starts with the mark of UTF-16.
bool AsciiCompatible(QByteArrayView bytes);

// Reads a value text as an integer, as the Windows profile functions do: quotes around the text
// dropped ("2027"), leading blanks and control characters skipped, then an optional sign and
// digits, hexadecimal after "0x", octal after "0o", binary after "0b", else decimal; text that does
// not begin with a number reads as 0. Saturates at the 32-bit limits.
qint32 ParseProfileInt(QByteArrayView text);

// The integer value of key in section of a settings file's content (see ParseProfileInt());
// defaultValue when the section or the key is missing, or the value is empty (or only quotes).
qint32 ProfileInt(const IniDocument& document, QByteArrayView section, QByteArrayView key,
                  qint32 defaultValue);

}  // namespace quenterra
