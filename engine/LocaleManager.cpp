#include "LocaleManager.h"

#include "platform/DateFormat.h"
#include "platform/Locale.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QLocale>

#include <algorithm>

namespace {

QString FromU16(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void Append(QStringList& list, const std::vector<std::u16string>& formats)
{
    for (const auto& f : formats)
        list.append(FromU16(f));
}

LCID KeyboardLocale()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QInputMethod* input = QGuiApplication::inputMethod()) {
            const LCID id = LcidFromLocaleName(input->locale().name().toStdString());
            if (id != 0 && id != LOCALE_INVARIANT)
                return id & 0xFFFF;
        }
    }
    return GetSystemDefaultLCID();
}

// One piece of a picture: a quoted text (quotes included), a run of one
// field letter, or any other single character.
struct Token {
    QString text;
    bool quoted = false;
    bool seconds = false;
    bool space = false;
};

std::vector<Token> Tokenize(const QString& format)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = format.size();
    while (i < n) {
        Token t;
        const QChar c = format[i];
        qsizetype j = i + 1;
        if (c == u'\'') {
            // '' inside quotes is a quote; an unclosed quote runs to the end.
            while (j < n) {
                if (format[j] == u'\'') {
                    if (j + 1 < n && format[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            t.quoted = true;
        } else if (c.isLetter()) {
            while (j < n && format[j] == c)
                ++j;
            t.seconds = c == u's';
        } else {
            t.space = c.isSpace();
        }
        t.text = format.mid(i, j - i);
        tokens.push_back(std::move(t));
        i = j;
    }
    return tokens;
}

} // namespace

CLocaleManager::CLocaleManager()
{
    m_keyboardLocales.push_back(KeyboardLocale());
    for (const LCID id : EnumSystemLocales()) {
        const uint32_t low = id & 0xFFFF;
        if (std::find(m_systemLocales.begin(), m_systemLocales.end(), low) == m_systemLocales.end())
            m_systemLocales.push_back(low);
    }
}

QString CLocaleManager::GetLanguageName(LCID locale) const
{
    return FromU16(GetLocaleEnglishLanguageName(locale));
}

QString CLocaleManager::GetCountryName(LCID locale) const
{
    return FromU16(GetLocaleEnglishCountryName(locale));
}

int CLocaleManager::GetAnsiCodePage(LCID locale) const
{
    return GetLocaleAnsiCodePage(locale);
}

int CLocaleManager::GetCharset(LCID locale) const
{
    return CharsetFromCodePage(GetAnsiCodePage(locale));
}

const QStringList& CLocaleManager::GetDateFormats(LCID locale)
{
    m_dateFormats.clear();
    Append(m_dateFormats, EnumDateFormats(locale, DATE_SHORTDATE));
    Append(m_dateFormats, EnumDateFormats(locale, DATE_LONGDATE));
    return m_dateFormats;
}

const QStringList& CLocaleManager::GetTimeFormats(LCID locale)
{
    QStringList formats;
    Append(formats, EnumTimeFormats(locale));
    m_timeFormats = AddSecondsFreeVariants(formats);
    return m_timeFormats;
}

QStringList CLocaleManager::AddSecondsFreeVariants(const QStringList& formats)
{
    QStringList variants;
    for (const QString& format : formats) {
        const QString shorter = RemoveSeconds(format);
        if (shorter != format && !shorter.isEmpty() && !formats.contains(shorter) && !variants.contains(shorter))
            variants.append(shorter);
    }
    return variants + formats;
}

QString CLocaleManager::RemoveSeconds(const QString& format)
{
    std::vector<Token> tokens = Tokenize(format);
    const auto first = std::find_if(tokens.begin(), tokens.end(), [](const Token& t) { return t.seconds; });
    if (first == tokens.end())
        return format;
    size_t at = static_cast<size_t>(first - tokens.begin());
    // A unit written after the seconds ("ss 's'") goes with them.
    size_t end = at + 1;
    size_t k = end;
    while (k < tokens.size() && tokens[k].space)
        ++k;
    if (k < tokens.size() && tokens[k].quoted)
        end = k + 1;
    if (at > 0)
        --at;
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(at), tokens.begin() + static_cast<std::ptrdiff_t>(end));
    QString result;
    for (const Token& t : tokens)
        if (!t.seconds)
            result += t.text;
    return result;
}
