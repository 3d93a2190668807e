// CLocaleManager: what the text feature asks about locales — which exist,
// their English names, ANSI code page and font character set, and their date
// and time pictures. A thin layer over the platform's locale calls, which
// hold every locale fact; the application owns the one instance.
#pragma once

#include "platform/Com.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class CLocaleManager {
public:
    CLocaleManager();
    virtual ~CLocaleManager() = default;

    // The keyboard languages. Linux lists no installed layouts portably: the
    // one entry is the input locale Qt reports, or the system default
    // without one (or without a GUI application).
    const std::vector<uint32_t>& GetKeyboardLocales() const { return m_keyboardLocales; }
    // The locales that exist, each once, in the platform's order (low 16 bits).
    const std::vector<uint32_t>& GetSystemLocales() const { return m_systemLocales; }

    // English names; empty when the locale has none.
    QString GetLanguageName(LCID locale) const;
    QString GetCountryName(LCID locale) const;
    // The default ANSI code page; 0 when it has none.
    int GetAnsiCodePage(LCID locale) const;
    // The font character set of that code page; DEFAULT_CHARSET when none.
    int GetCharset(LCID locale) const;

    // Short date pictures, then long ones. Valid until the next call.
    const QStringList& GetDateFormats(LCID locale);
    // The seconds-free variant of each time picture that is not itself
    // listed, first, then the locale's time pictures. Valid until the next call.
    const QStringList& GetTimeFormats(LCID locale);

    // `format` without its first seconds field, the character (or quoted
    // text) in front of it and a quoted unit right after it, and without any
    // further seconds field; quoted text is never taken for fields.
    // "HH:mm:ss" -> "HH:mm", "HH 'h' mm 'min' ss 's'" -> "HH 'h' mm 'min'".
    static QString RemoveSeconds(const QString& format);
    // `formats` with the seconds-free variants that none of them equals in
    // front, in the order of the formats they came from.
    static QStringList AddSecondsFreeVariants(const QStringList& formats);

private:
    std::vector<uint32_t> m_keyboardLocales;
    std::vector<uint32_t> m_systemLocales;
    QStringList m_dateFormats;
    QStringList m_timeFormats;
};
