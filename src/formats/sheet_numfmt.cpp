#include "formats/sheet_numfmt.h"

#include <QDate>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <tuple>
#include <vector>

namespace quenda {

namespace {

constexpr double kLastSerialDay = 2958465.0; // 9999-12-31 in the 1900 system
constexpr qint64 kUsPerDay = 86400000000;

const std::array<const char *, 12> kMonthNames = {"January",   "February", "March",    "April",
                                                  "May",       "June",     "July",     "August",
                                                  "September", "October",  "November", "December"};
const std::array<const char *, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};

// Exact decimal digits of a double rounded to 15 significant digits, as spreadsheets keep
// them: value = 0.d1d2..d15 x 10^(exponent + 1).
struct Decimal {
    QByteArray digits; // 15 digits, first one non-zero (empty for zero)
    int exponent = 0;  // power of ten of the first digit
};

Decimal toDecimal(double value)
{
    Decimal d;
    value = std::fabs(value);
    if (value == 0 || !std::isfinite(value))
        return d;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const QByteArray text(buf);
    const qsizetype e = text.indexOf('e');
    d.digits = text.left(1) + text.mid(2, e - 2);
    d.exponent = text.mid(e + 1).toInt();
    return d;
}

// Digits of |value| rounded half away from zero to `decimals` places: the integer part
// without leading zeros (empty for zero) and exactly `decimals` fraction digits.
struct Rounded {
    QByteArray integer;
    QByteArray fraction;
    bool isZero() const
    {
        for (char c : integer)
            if (c != '0')
                return false;
        for (char c : fraction)
            if (c != '0')
                return false;
        return true;
    }
};

Rounded roundDecimal(Decimal d, int decimals)
{
    Rounded r;
    if (!d.digits.isEmpty()) {
        const int keep = d.exponent + decimals + 1; // digits whose place is at least 10^-decimals
        if (keep < 0) {
            d.digits.clear();
        } else if (keep < d.digits.size()) {
            const bool up = d.digits[keep] >= '5';
            d.digits.truncate(keep);
            if (up) {
                int i = keep - 1;
                while (i >= 0 && d.digits[i] == '9')
                    d.digits[i--] = '0';
                if (i >= 0) {
                    d.digits[i] = char(d.digits[i] + 1);
                } else {
                    d.digits.prepend('1');
                    ++d.exponent;
                }
            }
        }
    }
    for (int place = d.exponent; place >= 0 && !d.digits.isEmpty(); --place) {
        const int i = d.exponent - place;
        r.integer.append(i < d.digits.size() ? d.digits[i] : '0');
    }
    for (int j = 1; j <= decimals; ++j) {
        const int i = d.exponent + j;
        r.fraction.append(i >= 0 && i < d.digits.size() ? d.digits[i] : '0');
    }
    return r;
}

// ---- Format codes: tokens --------------------------------------------------------------------

enum class Tok {
    Literal,
    Digit,    // 0 # ?
    Point,    // .
    Comma,    // ,
    Percent,  // %
    Slash,    // /
    Exponent, // E+ E- (ch holds the sign)
    TextAt,   // @
    General,
    DatePart, // y m d h s (ch lower-case letter, count)
    Elapsed,  // [h] [m] [s] (ch, count)
    AmPm,     // AM/PM (count 2) or A/P (count 1); text holds the case model
    SubSecond // .0 .00 .000 after seconds (count digits)
};

struct Token {
    Tok kind = Tok::Literal;
    QString text;
    QChar ch;
    int count = 0;
    bool minute = false; // a DatePart 'm' that stands for minutes
};

struct Condition {
    QString op;
    double value = 0;
    bool test(double v) const
    {
        if (op == QLatin1String("<"))
            return v < value;
        if (op == QLatin1String("<="))
            return v <= value;
        if (op == QLatin1String(">"))
            return v > value;
        if (op == QLatin1String(">="))
            return v >= value;
        if (op == QLatin1String("<>"))
            return v != value;
        return v == value;
    }
};

enum class SectionKind { Literal, Number, DateTime, Text };

struct Section {
    std::vector<Token> tokens;
    std::optional<Condition> condition;
    SectionKind kind = SectionKind::Literal;
    bool twelveHour = false;
    bool hasDate = false; // a year, month or day: the value must be a valid date
    int locale = 0;       // the language of a [$-411] tag, 0 when none is named
};

bool isDateLetter(QChar c)
{
    const char l = char(c.toLower().toLatin1());
    return l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's';
}

void addLiteral(std::vector<Token> &tokens, const QString &text)
{
    if (text.isEmpty())
        return;
    if (!tokens.empty() && tokens.back().kind == Tok::Literal)
        tokens.back().text += text;
    else
        tokens.push_back(Token{Tok::Literal, text, {}, 0, false});
}

void parseBracket(const QString &inner, Section &section)
{
    if (inner.isEmpty())
        return;
    const QString lower = inner.toLower();
    if (inner.startsWith(QLatin1Char('$'))) {
        // [$€-407]: a currency symbol followed by a locale tag; [$-409]: a locale tag only.
        const qsizetype dash = inner.indexOf(QLatin1Char('-'));
        addLiteral(section.tokens, inner.mid(1, dash < 0 ? -1 : dash - 1));
        bool ok = false;
        const uint tag = dash < 0 ? 0 : inner.mid(dash + 1).right(4).toUInt(&ok, 16);
        if (ok)
            section.locale = int(tag & 0x3FF); // the primary language
        return;
    }
    const QChar first = lower.at(0);
    if ((first == QLatin1Char('h') || first == QLatin1Char('m') || first == QLatin1Char('s')) &&
        lower.count(first) == lower.size()) {
        section.tokens.push_back(Token{Tok::Elapsed, {}, first, int(lower.size()), false});
        return;
    }
    if (first == QLatin1Char('<') || first == QLatin1Char('>') || first == QLatin1Char('=')) {
        qsizetype i = 0;
        while (i < inner.size() && QStringLiteral("<>=").contains(inner.at(i)))
            ++i;
        bool ok = false;
        const double v = inner.mid(i).trimmed().toDouble(&ok);
        if (ok)
            section.condition = Condition{inner.left(i), v};
    }
    // Colours ([Red], [Color10]) and other switches show nothing in text.
}

Section parseSection(const QString &code)
{
    Section s;
    auto &t = s.tokens;
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            addLiteral(t, code.mid(i + 1, end < 0 ? -1 : end - i - 1));
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 < n)
                addLiteral(t, code.mid(++i, 1));
        } else if (c == QLatin1Char('_')) {
            ++i; // room for the next character: a space in text
            addLiteral(t, QStringLiteral(" "));
        } else if (c == QLatin1Char('*')) {
            ++i; // fill to the column width: nothing in text
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i + 1);
            if (end < 0)
                break;
            parseBracket(code.mid(i + 1, end - i - 1), s);
            i = end;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?')) {
            t.push_back(Token{Tok::Digit, {}, c, 1, false});
        } else if (c == QLatin1Char('.')) {
            t.push_back(Token{Tok::Point, {}, c, 0, false});
        } else if (c == QLatin1Char(',')) {
            t.push_back(Token{Tok::Comma, {}, c, 0, false});
        } else if (c == QLatin1Char('%')) {
            t.push_back(Token{Tok::Percent, {}, c, 0, false});
        } else if (c == QLatin1Char('/')) {
            t.push_back(Token{Tok::Slash, {}, c, 0, false});
        } else if (c == QLatin1Char('@')) {
            t.push_back(Token{Tok::TextAt, {}, c, 0, false});
        } else if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && i + 1 < n &&
                   (code.at(i + 1) == QLatin1Char('+') || code.at(i + 1) == QLatin1Char('-'))) {
            t.push_back(Token{Tok::Exponent, {}, code.at(++i), 0, false});
        } else if (code.mid(i, 7).compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            t.push_back(Token{Tok::General, {}, {}, 0, false});
            i += 6;
        } else if (code.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            t.push_back(Token{Tok::AmPm, code.mid(i, 1), {}, 2, false});
            s.twelveHour = true;
            i += 4;
        } else if (code.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            t.push_back(Token{Tok::AmPm, code.mid(i, 1), {}, 1, false});
            s.twelveHour = true;
            i += 2;
        } else if (isDateLetter(c) || c.toLower() == QLatin1Char('e') ||
                   c.toLower() == QLatin1Char('g')) {
            // e and g: the year of an era and the era's name (Japanese calendar).
            const QChar letter = c.toLower();
            qsizetype j = i;
            while (j < n && code.at(j).toLower() == letter)
                ++j;
            t.push_back(Token{Tok::DatePart, {}, letter, int(j - i), false});
            i = j - 1;
        } else {
            addLiteral(t, QString(c));
        }
    }

    bool dateLike = false, digits = false, text = false, general = false;
    for (const Token &k : t) {
        dateLike |= k.kind == Tok::DatePart || k.kind == Tok::Elapsed || k.kind == Tok::AmPm;
        digits |= k.kind == Tok::Digit;
        text |= k.kind == Tok::TextAt;
        general |= k.kind == Tok::General;
    }
    if (dateLike)
        s.kind = SectionKind::DateTime;
    else if (digits || general)
        s.kind = SectionKind::Number;
    else if (text)
        s.kind = SectionKind::Text;

    if (s.kind == SectionKind::DateTime) {
        // Minutes or months: "m" next to hours or seconds means minutes. Points and zeros after
        // seconds are fractions of a second; elsewhere they are plain characters.
        std::vector<Token> fixed;
        for (size_t i = 0; i < t.size(); ++i) {
            Token k = t[i];
            if (k.kind == Tok::Point && i + 1 < t.size() && t[i + 1].kind == Tok::Digit &&
                t[i + 1].ch == QLatin1Char('0')) {
                int count = 0;
                while (i + 1 < t.size() && t[i + 1].kind == Tok::Digit && count < 3) {
                    ++i;
                    ++count;
                }
                fixed.push_back(Token{Tok::SubSecond, {}, {}, count, false});
                continue;
            }
            if (k.kind == Tok::Digit || k.kind == Tok::Point || k.kind == Tok::Comma ||
                k.kind == Tok::Percent || k.kind == Tok::Slash) {
                addLiteral(fixed, QString(k.ch));
                continue;
            }
            if (k.kind == Tok::Exponent) {
                addLiteral(fixed, QStringLiteral("E") + k.ch);
                continue;
            }
            fixed.push_back(k);
        }
        t = std::move(fixed);
        for (size_t i = 0; i < t.size(); ++i) {
            Token &k = t[i];
            if (k.kind != Tok::DatePart)
                continue;
            if (k.ch == QLatin1Char('y') || k.ch == QLatin1Char('d') || k.ch == QLatin1Char('e') ||
                k.ch == QLatin1Char('g') || (k.ch == QLatin1Char('m') && k.count >= 3))
                s.hasDate = true;
            if (k.ch != QLatin1Char('m') || k.count > 2)
                continue;
            const Token *before = nullptr, *after = nullptr;
            for (size_t j = i; j-- > 0;)
                if (t[j].kind == Tok::DatePart || t[j].kind == Tok::Elapsed) {
                    before = &t[j];
                    break;
                }
            for (size_t j = i + 1; j < t.size(); ++j)
                if (t[j].kind == Tok::DatePart || t[j].kind == Tok::Elapsed) {
                    after = &t[j];
                    break;
                }
            k.minute = (before && before->ch == QLatin1Char('h')) ||
                       (after && after->ch == QLatin1Char('s'));
            if (!k.minute)
                s.hasDate = true;
        }
    }
    return s;
}

std::vector<QString> splitSections(const QString &code)
{
    std::vector<QString> parts;
    QString current;
    bool quoted = false, bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('\\') && !quoted && i + 1 < code.size()) {
            current += c;
            current += code.at(++i);
            continue;
        }
        if (c == QLatin1Char('"') && !bracket)
            quoted = !quoted;
        else if (c == QLatin1Char('[') && !quoted)
            bracket = true;
        else if (c == QLatin1Char(']') && !quoted)
            bracket = false;
        if (c == QLatin1Char(';') && !quoted && !bracket) {
            parts.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    parts.push_back(current);
    return parts;
}

// ---- Numbers ---------------------------------------------------------------------------------

QString twoDigits(qint64 v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString literalText(const std::vector<Token> &tokens);

// Writes the integer digits into the placeholders of one part of a number, right to left: the
// leftmost placeholder takes every digit left over.
QString fillInteger(const std::vector<Token> &part, const QByteArray &digits, bool grouping)
{
    int placeholders = 0;
    for (const Token &k : part)
        placeholders += k.kind == Tok::Digit;
    if (placeholders == 0) // ".00": the whole part still shows when there is one
        return literalText(part) + QString::fromLatin1(digits);
    QString out; // built reversed
    qsizetype next = digits.size() - 1;
    int emitted = 0;
    auto emitDigit = [&](char d) {
        if (grouping && emitted > 0 && emitted % 3 == 0)
            out += QLatin1Char(',');
        out += QLatin1Char(d);
        ++emitted;
    };
    int seen = 0;
    for (auto it = part.rbegin(); it != part.rend(); ++it) {
        if (it->kind == Tok::Literal) {
            for (qsizetype i = it->text.size(); i-- > 0;)
                out += it->text.at(i);
            continue;
        }
        if (it->kind != Tok::Digit)
            continue;
        ++seen;
        const bool leftmost = seen == placeholders;
        if (next >= 0) {
            emitDigit(digits[next--]);
            while (leftmost && next >= 0)
                emitDigit(digits[next--]);
        } else if (it->ch == QLatin1Char('0')) {
            emitDigit('0');
        } else if (it->ch == QLatin1Char('?')) {
            out += QLatin1Char(' ');
        }
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// Fraction digits into their placeholders: trailing zeros vanish under '#', turn into spaces
// under '?'.
QString fillFraction(const std::vector<Token> &part, QByteArray digits)
{
    std::vector<QChar> kinds;
    for (const Token &k : part)
        if (k.kind == Tok::Digit)
            kinds.push_back(k.ch);
    std::vector<QString> shown(kinds.size());
    bool trailing = true;
    for (size_t i = kinds.size(); i-- > 0;) {
        const char d = i < size_t(digits.size()) ? digits[qsizetype(i)] : '0';
        if (trailing && d == '0' && kinds[i] != QLatin1Char('0'))
            shown[i] = kinds[i] == QLatin1Char('?') ? QStringLiteral(" ") : QString();
        else {
            trailing = false;
            shown[i] = QString(QLatin1Char(d));
        }
    }
    QString out;
    size_t di = 0;
    for (const Token &k : part) {
        if (k.kind == Tok::Literal)
            out += k.text;
        else if (k.kind == Tok::Digit)
            out += shown[di++];
    }
    return out;
}

struct NumberParts {
    std::vector<Token> integer; // placeholders and literals up to the point
    std::vector<Token> fraction;
    std::vector<Token> suffix;
    bool point = false;
    bool grouping = false;
    int scale = 0; // thousands the value is divided by
    int percents = 0;
};

// Splits a number section (without exponent or fraction slash) into its parts.
NumberParts numberParts(const std::vector<Token> &tokens)
{
    NumberParts p;
    int lastDigit = -1, firstDigit = -1;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind == Tok::Digit) {
            lastDigit = int(i);
            if (firstDigit < 0)
                firstDigit = int(i);
        }
    bool afterPoint = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token &k = tokens[i];
        if (k.kind == Tok::Percent)
            ++p.percents;
        if (k.kind == Tok::Comma) {
            // Between placeholders: groups of thousands. Right after the last one: scaling.
            bool digitAfter = false;
            for (size_t j = i + 1; j < tokens.size() && !digitAfter; ++j) {
                if (tokens[j].kind == Tok::Point)
                    break;
                digitAfter = tokens[j].kind == Tok::Digit;
            }
            if (int(i) > firstDigit && firstDigit >= 0 && digitAfter && !afterPoint) {
                p.grouping = true;
                continue;
            }
            if (int(i) > lastDigit && lastDigit >= 0) {
                bool onlyCommasBetween = true;
                for (int j = lastDigit + 1; j < int(i); ++j)
                    onlyCommasBetween &= tokens[size_t(j)].kind == Tok::Comma;
                if (onlyCommasBetween) {
                    ++p.scale;
                    continue;
                }
            }
        }
        Token shown = k;
        if (k.kind == Tok::Comma || k.kind == Tok::Percent || k.kind == Tok::Slash)
            shown = Token{Tok::Literal, QString(k.ch), {}, 0, false};
        if (k.kind == Tok::Point && !afterPoint) {
            afterPoint = true;
            p.point = true;
            continue;
        }
        if (k.kind == Tok::Point)
            shown = Token{Tok::Literal, QStringLiteral("."), {}, 0, false};
        if (k.kind == Tok::General || k.kind == Tok::Exponent || k.kind == Tok::TextAt) {
            p.suffix.push_back(shown);
            continue;
        }
        if (afterPoint) {
            if (int(i) > lastDigit)
                p.suffix.push_back(shown);
            else
                p.fraction.push_back(shown);
        } else if (int(i) > lastDigit && lastDigit >= 0) {
            p.suffix.push_back(shown);
        } else {
            p.integer.push_back(shown);
        }
    }
    return p;
}

QString literalText(const std::vector<Token> &tokens)
{
    QString out;
    for (const Token &k : tokens)
        if (k.kind == Tok::Literal)
            out += k.text;
    return out;
}

int countDigits(const std::vector<Token> &tokens)
{
    int n = 0;
    for (const Token &k : tokens)
        n += k.kind == Tok::Digit;
    return n;
}

double scaled(double value, const NumberParts &p)
{
    for (int i = 0; i < p.percents; ++i)
        value *= 100;
    for (int i = 0; i < p.scale; ++i)
        value /= 1000;
    return value;
}

// A plain number: integer, point, fraction digits and the literals around them.
QString formatPlain(double value, const std::vector<Token> &tokens, bool *nonZero)
{
    const NumberParts p = numberParts(tokens);
    const int decimals = countDigits(p.fraction);
    const Rounded r = roundDecimal(toDecimal(scaled(value, p)), decimals);
    *nonZero = !r.isZero();
    QString out = fillInteger(p.integer, r.integer, p.grouping);
    const QString fraction = fillFraction(p.fraction, r.fraction);
    // A point with nothing after it is dropped when every fraction digit was optional.
    if (p.point && (decimals == 0 || !fraction.isEmpty()))
        out += QLatin1Char('.');
    out += fraction;
    for (const Token &k : p.suffix)
        if (k.kind == Tok::Literal)
            out += k.text;
        else if (k.kind == Tok::General)
            out += formatGeneral(value);
    return out;
}

QString formatScientific(double value, const std::vector<Token> &tokens, bool *nonZero)
{
    size_t at = 0;
    while (tokens[at].kind != Tok::Exponent)
        ++at;
    const std::vector<Token> mantissaTokens(tokens.begin(), tokens.begin() + qsizetype(at));
    std::vector<Token> expTokens, suffix;
    for (size_t i = at + 1; i < tokens.size(); ++i) {
        if (tokens[i].kind == Tok::Digit && suffix.empty())
            expTokens.push_back(tokens[i]);
        else if (tokens[i].kind == Tok::Literal)
            suffix.push_back(tokens[i]);
    }
    const NumberParts p = numberParts(mantissaTokens);
    const int intPlaces = countDigits(p.integer);
    const int decimals = countDigits(p.fraction);
    Decimal d = toDecimal(scaled(value, p));
    *nonZero = !d.digits.isEmpty();
    int exponent = 0;
    Rounded r;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (d.digits.isEmpty()) {
            exponent = 0;
        } else if (intPlaces <= 1) {
            exponent = intPlaces == 0 ? d.exponent + 1 : d.exponent;
        } else {
            exponent = d.exponent >= 0 ? d.exponent / intPlaces * intPlaces
                                       : -((-d.exponent + intPlaces - 1) / intPlaces) * intPlaces;
        }
        Decimal m = d;
        m.exponent -= exponent;
        r = roundDecimal(m, decimals);
        const int width = intPlaces == 0 ? 0 : (intPlaces <= 1 ? 1 : intPlaces);
        if (r.integer.size() <= width || d.digits.isEmpty())
            break;
        d.digits = "1"; // rounding carried into a new digit: 9.99 becomes 1.00E+1
        d.exponent += 1;
    }
    QString out = fillInteger(p.integer, r.integer, p.grouping);
    if (p.point)
        out += QLatin1Char('.');
    out += fillFraction(p.fraction, r.fraction);
    out += QLatin1Char('E');
    if (exponent < 0)
        out += QLatin1Char('-');
    else if (tokens[at].ch == QLatin1Char('+'))
        out += QLatin1Char('+');
    const QByteArray expDigits = QByteArray::number(std::abs(exponent));
    out += fillInteger(expTokens, expDigits == "0" ? QByteArray() : expDigits, false);
    out += literalText(p.suffix) + literalText(suffix);
    return out;
}

QString formatFraction(double value, const std::vector<Token> &tokens, bool *nonZero)
{
    size_t slash = 0;
    while (tokens[slash].kind != Tok::Slash)
        ++slash;
    // Numerator: the placeholders right before the slash; whole part: placeholders before it.
    size_t numStart = slash;
    while (numStart > 0 && tokens[numStart - 1].kind == Tok::Digit)
        --numStart;
    std::vector<Token> whole(tokens.begin(), tokens.begin() + qsizetype(numStart));
    const std::vector<Token> numerator(tokens.begin() + qsizetype(numStart),
                                       tokens.begin() + qsizetype(slash));
    size_t i = slash + 1;
    std::vector<Token> denominator;
    QString fixedDen;
    for (; i < tokens.size(); ++i) {
        const Token &k = tokens[i];
        if (k.kind == Tok::Digit && fixedDen.isEmpty())
            denominator.push_back(k);
        else if (k.kind == Tok::Digit && k.ch == QLatin1Char('0'))
            fixedDen += QLatin1Char('0');
        else if (k.kind == Tok::Literal && denominator.empty() && !k.text.isEmpty() &&
                 k.text.at(0).isDigit()) {
            qsizetype n = 0;
            while (n < k.text.size() && k.text.at(n).isDigit())
                ++n;
            fixedDen += k.text.left(n);
            if (n < k.text.size()) {
                ++i;
                break;
            }
        } else
            break;
    }
    const std::vector<Token> suffix(tokens.begin() + qsizetype(i), tokens.end());
    int wholePlaces = countDigits(whole);
    // Literals between the whole part and the numerator ("# ?/?": the blank).
    std::vector<Token> gap;
    while (!whole.empty() && whole.back().kind == Tok::Literal) {
        gap.insert(gap.begin(), whole.back());
        whole.pop_back();
    }
    if (wholePlaces == 0) {
        whole.insert(whole.end(), gap.begin(), gap.end());
        gap.clear();
    }

    value = std::fabs(value);
    if (value >= 1e15)
        return formatGeneral(value);
    qint64 intPart = wholePlaces > 0 ? qint64(std::floor(value)) : 0;
    const double rest = value - double(intPart);
    qint64 num = 0, den = 1;
    const qint64 fixed = fixedDen.toLongLong();
    if (fixed > 0) {
        den = fixed;
        num = qint64(std::llround(rest * double(den)));
    } else {
        const int places = std::min(std::max(countDigits(denominator), 1), 4);
        qint64 maxDen = 9;
        for (int k = 1; k < places; ++k)
            maxDen = maxDen * 10 + 9;
        double best = 2;
        for (qint64 q = 1; q <= maxDen; ++q) {
            const qint64 p = qint64(std::llround(rest * double(q)));
            const double err = std::fabs(rest - double(p) / double(q));
            if (err < best - 1e-12) {
                best = err;
                num = p;
                den = q;
            }
        }
    }
    if (wholePlaces > 0 && num == den) {
        ++intPart;
        num = 0;
    }
    *nonZero = intPart != 0 || num != 0;

    QString out;
    if (wholePlaces > 0) {
        QByteArray digits = intPart == 0 ? QByteArray() : QByteArray::number(intPart);
        if (intPart == 0 && num == 0)
            digits = "0";
        out += fillInteger(whole, digits, false);
    } else {
        out += literalText(whole);
    }
    const int numWidth = countDigits(numerator);
    const int denWidth = fixed > 0 ? int(fixedDen.size()) : countDigits(denominator);
    if (num == 0 && wholePlaces > 0) {
        const qsizetype width = (fixed > 0 ? 0 : literalText(gap).size()) + numWidth + 1 + denWidth;
        out += QString(width, QLatin1Char(' '));
    } else {
        out += literalText(gap);
        QString n = QString::number(num);
        QString d = QString::number(den);
        const QChar numPad = !numerator.empty() && numerator.front().ch == QLatin1Char('0')
                                 ? QLatin1Char('0')
                                 : QLatin1Char(' ');
        int numSpaces = 0;
        for (const Token &k : numerator)
            numSpaces += k.ch != QLatin1Char('#');
        while (n.size() < numSpaces)
            n.prepend(numPad);
        if (fixed <= 0) {
            int denSpaces = 0;
            for (const Token &k : denominator)
                denSpaces += k.ch != QLatin1Char('#');
            while (d.size() < denSpaces)
                d.append(QLatin1Char(' '));
        }
        out += n + QLatin1Char('/') + d;
    }
    out += literalText(suffix);
    return out;
}

QString formatNumberSection(double value, const Section &s, bool *nonZero)
{
    bool exponent = false, slash = false, digits = false;
    for (const Token &k : s.tokens) {
        exponent |= k.kind == Tok::Exponent;
        slash |= k.kind == Tok::Slash;
        digits |= k.kind == Tok::Digit;
    }
    if (!digits) { // "General" with literals around it
        *nonZero = value != 0;
        QString out;
        for (const Token &k : s.tokens)
            out += k.kind == Tok::General ? formatGeneral(std::fabs(value)) : k.text;
        return out;
    }
    if (exponent)
        return formatScientific(value, s.tokens, nonZero);
    if (slash)
        return formatFraction(value, s.tokens, nonZero);
    return formatPlain(value, s.tokens, nonZero);
}

// ---- Dates and times -------------------------------------------------------------------------

struct DayParts {
    int year = 0, month = 0, day = 0, weekday = 0; // weekday 0 = Sunday
};

constexpr int kJapanese = 0x11;

// The Japanese eras since the first day a spreadsheet counts: first day, then the name as g,
// gg and ggg show it.
struct Era {
    int year, month, day;
    const char16_t *names[3];
};
constexpr Era kEras[] = {
    {2019, 5, 1, {u"R", u"\u4EE4", u"\u4EE4\u548C"}},
    {1989, 1, 8, {u"H", u"\u5E73", u"\u5E73\u6210"}},
    {1926, 12, 25, {u"S", u"\u662D", u"\u662D\u548C"}},
    {1912, 7, 30, {u"T", u"\u5927", u"\u5927\u6B63"}},
    {1868, 1, 1, {u"M", u"\u660E", u"\u660E\u6CBB"}},
};

const Era *eraOf(const DayParts &d)
{
    for (const Era &e : kEras)
        if (std::tie(d.year, d.month, d.day) >= std::tie(e.year, e.month, e.day))
            return &e;
    return nullptr;
}

DayParts dayParts(qint64 serial, bool date1904)
{
    DayParts p;
    if (!date1904 && serial < 61) {
        // The 1900 system counts a 29 February 1900 that never was: serial 60. Days before it
        // are one off from the calendar, and serial 0 is shown as 0 January 1900.
        p.weekday = int((serial + 6) % 7);
        if (serial == 0) {
            p.year = 1900, p.month = 1, p.day = 0;
        } else if (serial == 60) {
            p.year = 1900, p.month = 2, p.day = 29;
        } else {
            const QDate d = QDate(1899, 12, 31).addDays(serial);
            p.year = d.year(), p.month = d.month(), p.day = d.day();
        }
        return p;
    }
    const QDate d = (date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30)).addDays(serial);
    p.year = d.year(), p.month = d.month(), p.day = d.day(), p.weekday = d.dayOfWeek() % 7;
    return p;
}

QString padded(qint64 v, int width)
{
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

std::optional<QString> formatDateTime(double value, const Section &s, bool date1904)
{
    int subDigits = 0;
    QChar largestElapsed;
    for (const Token &k : s.tokens) {
        if (k.kind == Tok::SubSecond)
            subDigits = std::max(subDigits, k.count);
        if (k.kind == Tok::Elapsed && largestElapsed.isNull())
            largestElapsed = k.ch;
    }
    const bool elapsed = !largestElapsed.isNull();
    if (!std::isfinite(value) || std::fabs(value) > kLastSerialDay + 1)
        return std::nullopt;
    if (value < 0 && (s.hasDate || !elapsed))
        return std::nullopt;
    const bool negative = value < 0;
    // Microseconds: fine enough that a time typed as 13:37 is not shown as 13:36:59.
    qint64 us = std::llround(std::fabs(value) * double(kUsPerDay));
    qint64 unit = 1000000;
    for (int i = 0; i < subDigits; ++i)
        unit /= 10;
    qint64 subUnits = 0; // the shown fraction of a second, in units
    if (elapsed) {
        us = (us + unit / 2) / unit * unit; // durations round to what is shown
        subUnits = (us % 1000000) / unit;
    } else {
        // A clock never runs ahead: whole seconds are cut, and a shown fraction is rounded
        // only as long as that does not reach the next second.
        const qint64 rest = us % 1000000;
        us -= rest;
        subUnits = std::min((rest + unit / 2) / unit, 1000000 / unit - 1);
    }
    const qint64 serialDay = us / kUsPerDay;
    const qint64 dayUs = us % kUsPerDay;
    if (serialDay > qint64(kLastSerialDay) && s.hasDate)
        return std::nullopt;
    const DayParts day = dayParts(serialDay, date1904);
    const qint64 hour = dayUs / 3600000000, minute = dayUs / 60000000 % 60,
                 second = dayUs / 1000000 % 60;
    const qint64 totalSeconds = us / 1000000;

    QString out;
    if (negative)
        out += QLatin1Char('-');
    for (const Token &k : s.tokens) {
        switch (k.kind) {
        case Tok::Literal:
            out += k.text;
            break;
        case Tok::Elapsed: {
            qint64 v = k.ch == QLatin1Char('h')   ? totalSeconds / 3600
                       : k.ch == QLatin1Char('m') ? totalSeconds / 60
                                                  : totalSeconds;
            if (k.ch != largestElapsed)
                v %= 60;
            out += padded(v, std::min(k.count, 2));
            break;
        }
        case Tok::DatePart: {
            const char c = char(k.ch.toLatin1());
            const Era *era = s.locale == kJapanese ? eraOf(day) : nullptr;
            if (c == 'y') {
                out += k.count <= 2 ? twoDigits(day.year % 100) : padded(day.year, 4);
            } else if (c == 'e') {
                // Outside a Japanese locale the year of the era is the year itself.
                const int year = era ? day.year - era->year + 1 : day.year;
                out += era && k.count >= 2 ? twoDigits(year) : QString::number(year);
            } else if (c == 'g') {
                if (era)
                    out += QString::fromUtf16(era->names[std::min(k.count, 3) - 1]);
            } else if (c == 'm' && k.minute) {
                out += k.count >= 2 ? twoDigits(minute) : QString::number(minute);
            } else if (c == 'm') {
                const QString name = QLatin1String(kMonthNames[size_t(day.month - 1)]);
                out += k.count == 1   ? QString::number(day.month)
                       : k.count == 2 ? twoDigits(day.month)
                       : k.count == 3 ? name.left(3)
                       : k.count == 5 ? name.left(1)
                                      : name;
            } else if (c == 'd') {
                const QString name = QLatin1String(kDayNames[size_t(day.weekday)]);
                out += k.count == 1   ? QString::number(day.day)
                       : k.count == 2 ? twoDigits(day.day)
                       : k.count == 3 ? name.left(3)
                                      : name;
            } else if (c == 'h') {
                qint64 h = hour;
                if (s.twelveHour) {
                    h %= 12;
                    if (h == 0)
                        h = 12;
                }
                out += k.count >= 2 ? twoDigits(h) : QString::number(h);
            } else if (c == 's') {
                out += k.count >= 2 ? twoDigits(second) : QString::number(second);
            }
            break;
        }
        case Tok::SubSecond: {
            out += QLatin1Char('.') + padded(subUnits, k.count);
            break;
        }
        case Tok::AmPm: {
            const bool pm = hour >= 12;
            QString text = k.count == 2 ? QString::fromLatin1(pm ? "PM" : "AM")
                                        : QString::fromLatin1(pm ? "P" : "A");
            out += k.text.at(0).isLower() ? text.toLower() : text;
            break;
        }
        default:
            break;
        }
    }
    return out;
}

} // namespace

// ---- The compiled format ---------------------------------------------------------------------

struct CompiledNumberFormat {
    std::vector<Section> numeric; // the sections for numbers, in order
    std::optional<Section> text;  // the section for text, when the code has one
};

namespace {

std::shared_ptr<CompiledNumberFormat> compile(const QString &code)
{
    auto f = std::make_shared<CompiledNumberFormat>();
    const std::vector<QString> parts =
        splitSections(code.trimmed().isEmpty() ? QStringLiteral("General") : code);
    for (size_t i = 0; i < parts.size() && i < 4; ++i) {
        Section s = parseSection(parts[i]);
        const bool last = i + 1 == parts.size();
        if (i == 3 || (s.kind == SectionKind::Text && last && i > 0) ||
            (s.kind == SectionKind::Text && parts.size() == 1)) {
            f->text = std::move(s);
            break;
        }
        f->numeric.push_back(std::move(s));
    }
    return f;
}

} // namespace

QString builtinNumberFormat(int id)
{
    switch (id) {
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 5:
        return QStringLiteral("$#,##0_);($#,##0)");
    case 6:
        return QStringLiteral("$#,##0_);[Red]($#,##0)");
    case 7:
        return QStringLiteral("$#,##0.00_);($#,##0.00)");
    case 8:
        return QStringLiteral("$#,##0.00_);[Red]($#,##0.00)");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("# ?/?");
    case 13:
        return QStringLiteral("# ?\?/?\?");
    case 14:
        return QStringLiteral("m/d/yyyy");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("m/d/yyyy h:mm");
    case 37:
        return QStringLiteral("#,##0_);(#,##0)");
    case 38:
        return QStringLiteral("#,##0_);[Red](#,##0)");
    case 39:
        return QStringLiteral("#,##0.00_);(#,##0.00)");
    case 40:
        return QStringLiteral("#,##0.00_);[Red](#,##0.00)");
    case 41:
        return QStringLiteral(R"(_(* #,##0_);_(* \(#,##0\);_(* "-"_);_(@_))");
    case 42:
        return QStringLiteral(R"(_("$"* #,##0_);_("$"* \(#,##0\);_("$"* "-"_);_(@_))");
    case 43:
        return QStringLiteral(R"(_(* #,##0.00_);_(* \(#,##0.00\);_(* "-"??_);_(@_))");
    case 44:
        return QStringLiteral(R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        return QStringLiteral("General");
    }
}

QString formatGeneral(double value)
{
    if (std::isnan(value))
        return QStringLiteral("#NUM!");
    if (std::isinf(value))
        return QStringLiteral("#NUM!");
    if (value == 0)
        return QStringLiteral("0");
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const double a = std::fabs(value);
    // Whole numbers below 10^16 are exact in a double: show every digit (phone and account
    // numbers typed as numbers keep all of theirs).
    if (a < 1e16 && a == std::floor(a))
        return sign + QString::number(qint64(a));
    Decimal d = toDecimal(a);
    while (d.digits.size() > 1 && d.digits.endsWith('0'))
        d.digits.chop(1);
    const int significant = int(d.digits.size());
    const int decimalsNeeded = significant - d.exponent - 1;
    const bool plain = d.exponent < 16 && d.exponent >= -9 && decimalsNeeded <= 15;
    if (!plain) {
        QString out = sign + QLatin1Char(d.digits[0]);
        if (significant > 1)
            out += QLatin1Char('.') + QString::fromLatin1(d.digits.mid(1));
        out += QLatin1String(d.exponent < 0 ? "E-" : "E+");
        out += twoDigits(std::abs(d.exponent));
        return out;
    }
    const Rounded r = roundDecimal(d, std::max(decimalsNeeded, 0));
    QString out =
        sign + (r.integer.isEmpty() ? QStringLiteral("0") : QString::fromLatin1(r.integer));
    if (!r.fraction.isEmpty())
        out += QLatin1Char('.') + QString::fromLatin1(r.fraction);
    return out;
}

NumberFormatter::NumberFormatter(bool date1904) : m_date1904(date1904) {}
NumberFormatter::~NumberFormatter() = default;

const CompiledNumberFormat &NumberFormatter::compiled(const QString &code)
{
    auto it = m_cache.constFind(code);
    if (it != m_cache.constEnd())
        return **it;
    // A workbook has a few dozen formats; a hostile one may name thousands.
    if (m_cache.size() > 4096)
        m_cache.clear();
    return **m_cache.insert(code, compile(code));
}

QString NumberFormatter::formatNumber(double value, const QString &code)
{
    if (!std::isfinite(value))
        return formatGeneral(value);
    const CompiledNumberFormat &f = compiled(code);
    if (f.numeric.empty())
        return formatGeneral(value);

    const Section *section = nullptr;
    bool autoMinus = false;
    bool conditional = false;
    for (const Section &s : f.numeric)
        conditional |= s.condition.has_value();
    if (conditional) {
        for (const Section &s : f.numeric)
            if (s.condition ? s.condition->test(value) : true) {
                section = &s;
                break;
            }
        autoMinus = true;
    } else if (f.numeric.size() == 1 || value > 0 || (value == 0 && f.numeric.size() == 2)) {
        section = &f.numeric[0];
        autoMinus = f.numeric.size() == 1;
    } else if (value < 0) {
        section = &f.numeric[1];
    } else {
        section = &f.numeric[2];
    }
    if (!section)
        return formatGeneral(value);

    switch (section->kind) {
    case SectionKind::DateTime: {
        const std::optional<QString> text = formatDateTime(value, *section, m_date1904);
        return text ? *text : formatGeneral(value);
    }
    case SectionKind::Number: {
        bool nonZero = false;
        const QString text = formatNumberSection(value, *section, &nonZero);
        return autoMinus && value < 0 && nonZero ? QLatin1Char('-') + text : text;
    }
    case SectionKind::Literal:
    case SectionKind::Text: {
        QString out;
        for (const Token &k : section->tokens)
            if (k.kind == Tok::Literal)
                out += k.text;
            else if (k.kind == Tok::TextAt)
                out += formatGeneral(value);
        return out;
    }
    }
    return formatGeneral(value);
}

QString NumberFormatter::formatText(const QString &text, const QString &code)
{
    const CompiledNumberFormat &f = compiled(code);
    if (!f.text)
        return text;
    QString out;
    for (const Token &k : f.text->tokens)
        if (k.kind == Tok::Literal)
            out += k.text;
        else if (k.kind == Tok::TextAt)
            out += text;
    return out;
}

} // namespace quenda
