#pragma once

#include <QSize>
#include <QString>

// The settings store: one INI file beside the program, `FileName` + ".ini". Every call opens the
// file, does its one read or write and closes it again; nothing is cached, so a value written is
// on disk when the call returns and every read sees the file as it is at that moment.
//
// Reads never fail: a missing file, section or key (or an unparsable number) gives Default.
// A write that cannot be made throws AppError naming the full ".ini" path, and leaves the file as
// it was. Writes replace the file atomically under an inter-process lock, the
// file FileName + ".ini.lock".
namespace tallemo {

void WriteIniString(const QString& FileName, const QString& Section, const QString& Ident,
                    const QString& Value);
void WriteIniBoolean(const QString& FileName, const QString& Section, const QString& Ident,
                     bool Value);
void WriteIniInteger(const QString& FileName, const QString& Section, const QString& Ident,
                     int Value);

// At most 2047 characters come back.
QString ReadIniString(const QString& FileName, const QString& Section, const QString& Ident,
                      const QString& Default);
bool ReadIniBoolean(const QString& FileName, const QString& Section, const QString& Ident,
                    bool Default);
int ReadIniInteger(const QString& FileName, const QString& Section, const QString& Ident,
                   int Default);

// A control whose position is kept in the settings file: for the window, its frame's top-left
// corner in screen coordinates, and the size of the primary screen it is folded into.
class PositionedControl {
public:
    virtual ~PositionedControl() = default;
    virtual int left() const = 0;
    virtual int top() const = 0;
    virtual void setLeft(int left) = 0;
    virtual void setTop(int top) = 0;
    virtual QSize primaryScreenSize() const = 0;
};

// Writes CtrlName + "_left", then CtrlName + "_top"; a failed left write skips the top write.
void WriteIniPosition(const QString& FileName, const QString& Section, const QString& CtrlName,
                      const PositionedControl& Ctrl);
// Reads both (defaults: the current position), folds a value beyond the primary screen's size
// by it, and moves the control.
void ReadIniPosition(const QString& FileName, const QString& Section, const QString& CtrlName,
                     PositionedControl& Ctrl);

// The settings path for a program file: its full path without the extension (the last of "."
// and "/" decides).
QString iniFileNameFor(const QString& programFilePath);

} // namespace tallemo
