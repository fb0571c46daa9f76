#pragma once
// The client's access level, which decides what the main window offers: 0 locked (only
// the live displays), 1 standard user (call reports), 2 administrator (everything). The
// server checks the passwords; the level itself lives only in the client and every start
// begins locked. The levels lay out the main window they are given.
//
//   TAccess::SetMainWindow(&form);
//   TAccess::SetLevel(TAccess::Locked);

#include <QString>
#include <QtGlobal>

class TClientMainForm;

class TAccess {
public:
    static constexpr quint8 Locked = 0;
    static constexpr quint8 User = 1;
    static constexpr quint8 Admin = 2;

    static quint8 GetLevel();
    // Closes every child window and lays the main window out for the level; a level
    // equal to the current one changes nothing. Without a main window only the level
    // changes.
    static void SetLevel(quint8 level);

    // The main window the levels lay out, from its creation on (it may go before the
    // levels do). A new main window shows everything, which is the administrator's
    // layout; the next SetLevel(0) then applies the locked one.
    static void SetMainWindow(TClientMainForm* form);

    // "Locked mode", "User mode", "Admin mode".
    static QString ModeText(quint8 level);

private:
    static void ApplyLayout(TClientMainForm& form, quint8 level);
    static void TidyToolBarSeparators(TClientMainForm& form);
};
