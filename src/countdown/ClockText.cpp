#include "countdown/ClockText.h"

#include <QList>

#include <algorithm>

namespace quenterra {
namespace {

// One piece of a date-time format: quoted literal text, a run of one pattern letter ("AP" counts
// as one), or a single character of other literal text.
struct Piece {
    enum Kind { Quoted, Letters, Other } kind;
    QString text;
};

QList<Piece> split(const QString& format)
{
    QList<Piece> pieces;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype end = i + 1;
        Piece::Kind kind = Piece::Other;
        if (c == u'\'') {
            // Up to the closing quote; two quotes in a row stand for one quote character.
            kind = Piece::Quoted;
            while (end < format.size()) {
                if (format[end++] == u'\'') {
                    if (end < format.size() && format[end] == u'\'') {
                        ++end;
                        continue;
                    }
                    break;
                }
            }
        } else if (c.isLetter() && c.unicode() < 0x80) {
            kind = Piece::Letters;
            if ((c == u'A' || c == u'a') && end < format.size() &&
                (format[end] == u'P' || format[end] == u'p')) {
                ++end;
            } else {
                while (end < format.size() && format[end] == c) {
                    ++end;
                }
            }
        }
        pieces.append({kind, format.mid(i, end - i)});
        i = end;
    }
    return pieces;
}

bool isLetter(const Piece& piece, QChar letter)
{
    return piece.kind == Piece::Letters && piece.text.front() == letter;
}

bool isDayPeriod(const Piece& piece)
{
    return isLetter(piece, u'A') || isLetter(piece, u'a');
}

// Blanks and commas set a field apart from its neighbours.
bool isSeparator(const Piece& piece)
{
    if (piece.kind != Piece::Other) {
        return false;
    }
    const QChar c = piece.text.front();
    return c.isSpace() || c == u',' || c == u'\x060C' || c == u'\xFF0C';
}

bool isOther(const Piece& piece, QStringView texts)
{
    return piece.kind == Piece::Other && texts.contains(piece.text.front());
}

// Takes out the piece at index with the brackets around it and the separators beside it; between
// two remaining fields one blank stays.
void takeOut(QList<Piece>& pieces, qsizetype index)
{
    qsizetype first = index;
    qsizetype last = index;
    auto widen = [&] {
        while (first > 0 && isSeparator(pieces[first - 1])) {
            --first;
        }
        while (last + 1 < pieces.size() && isSeparator(pieces[last + 1])) {
            ++last;
        }
    };
    widen();
    static constexpr QStringView kOpening = u"([\xFF08\xFF3B";
    static constexpr QStringView kClosing = u")]\xFF09\xFF3D";
    if (first > 0 && last + 1 < pieces.size() && isOther(pieces[first - 1], kOpening) &&
        isOther(pieces[last + 1], kClosing) &&
        kOpening.indexOf(pieces[first - 1].text.front()) ==
            kClosing.indexOf(pieces[last + 1].text.front())) {
        --first;
        ++last;
        widen();
    }
    const bool between = first > 0 && last + 1 < pieces.size();
    pieces.remove(first, last - first + 1);
    if (between) {
        pieces.insert(first, {Piece::Other, QStringLiteral(" ")});
    }
}

}  // namespace

QString ClockTimeFormat(const QString& longTimeFormat)
{
    QList<Piece> pieces = split(longTimeFormat);
    const bool hasDayPeriod = std::any_of(pieces.begin(), pieces.end(), isDayPeriod);
    const bool twelveHours =
        std::any_of(pieces.begin(), pieces.end(), [](const Piece& p) { return isLetter(p, u'h'); });
    for (qsizetype i = 0; i < pieces.size();) {
        Piece& piece = pieces[i];
        if (piece.kind != Piece::Letters) {
            ++i;
            continue;
        }
        const QChar letter = piece.text.front();
        if (letter == u'K' || letter == u'k') {
            piece.text.fill(letter == u'K' ? u'h' : u'H');
        } else if ((letter == u'B' || letter == u'b') && twelveHours && !hasDayPeriod) {
            piece.text = QStringLiteral("AP");
        } else if (letter == u't' || letter == u'B' || letter == u'b') {
            takeOut(pieces, i);
            continue;
        }
        ++i;
    }
    QString format;
    for (const Piece& piece : pieces) {
        format += piece.text;
    }
    return format;
}

ClockText::ClockText(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(ClockTimeFormat(locale.timeFormat(QLocale::LongFormat)))
{
}

QString ClockText::format(const QDateTime& moment) const
{
    QString date = locale_.toString(moment.date(), dateFormat_);
    if (moment.time() == QTime(0, 0)) {
        return date;
    }
    return date + u' ' + locale_.toString(moment.time(), timeFormat_);
}

}  // namespace quenterra
