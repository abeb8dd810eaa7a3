#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QVariant>

// The text of a preferences file in QSettings' native (INI) format, read from exactly the
// bytes given: no file is opened and nothing is cached, so what it says is what those bytes
// say. Only keys outside any group are looked up or set. Setting one replaces that key's
// entry where it stands, so the rest of the file (other keys and sections, comments, line
// ends) stays byte for byte as it was, and a file QSettings wrote comes out as QSettings
// would write it.
class SettingsText
{
public:
    explicit SettingsText(const QByteArray &bytes = {}) : m_bytes(bytes) {}

    const QByteArray &bytes() const { return m_bytes; }

    // What QSettings reads for the key: a QByteArray for "@ByteArray(...)", the value a
    // "@Variant(...)" holds, a QStringList for a list (a QVariantList when an item is typed),
    // else a QString; invalid when the key is absent or "@Invalid()". Geometry
    // ("@Rect(...)" and the like) comes as its text.
    QVariant value(QLatin1StringView key) const;
    // Writes a QByteArray or an int as QSettings writes them.
    void setValue(QLatin1StringView key, const QVariant &value);

private:
    // One logical line of the file: [start, end) holds its text, which may run over several
    // physical lines inside quotes or after a backslash; `next` is past its line end.
    struct Line {
        qsizetype start;
        qsizetype end;
        qsizetype next;
        qsizetype equals; // -1 when there is no '=' outside quotes
        bool isGeneral;   // outside any section, or in a [General] one
    };
    QList<Line> lines() const;
    // The lines that set `key` outside any group, in file order.
    QList<Line> entriesOf(QLatin1StringView key, qsizetype *generalEnd) const;

    QByteArray m_bytes;
};
