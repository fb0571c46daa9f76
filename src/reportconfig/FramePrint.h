#pragma once
// The "Print options" page: a custom title (the first title line when not empty), the title
// on the first page only or on every page, page numbers, and the font the printout uses,
// chosen in the font dialog behind the "Font" button. Exports ignore the page numbers and
// always print the title once.
//
//   grid->Preview(lines, groups, print->FirstPageTitleOnly(), print->PageNumbers(), print->PrintFont());
//
// State line: comma text of eleven entries: title, first page only, page numbers, character
// set, colour, font name, size in points, bold, italic, underline, strike-out; the six
// booleans as "-1" and "0"; an entry with a blank, comma, quote or control character is
// quoted ("Sales, by group",0,-1,204,0,Arial,10,0,0,0,0). Fewer than eleven entries give the
// default: no title, page numbers, Arial 10 in black (character set 204, colour 0). The
// character set and the colour are kept as read; the printout is black.
//
// Widgets: cbPageNumbers, cbFirstPageTitle, lbledtCustomTitle, bitbtnFont, FontDialog.
// Never raises.

#include "reportconfig/FrameReportBase.h"

#include <QFont>

class QCheckBox;
class QFontDialog;
class QLabel;
class QLineEdit;
class QPushButton;

class TFramePrintOptions : public TReportBaseFrame {
    Q_OBJECT

public:
    static constexpr int DefaultCharset = 204;

    explicit TFramePrintOptions(QWidget* owner);

    QString SaveState() const override;
    void LoadState(const QString& state) override;

    QString CustomTitle() const;
    bool FirstPageTitleOnly() const;
    bool PageNumbers() const;
    QFont PrintFont() const { return font_; }
    int Charset() const { return charset_; }
    int Colour() const { return colour_; }

private:
    void bitbtnFontClick();
    void ShowFont();

    QFont font_;
    int charset_ = DefaultCharset;
    int colour_ = 0;
    QCheckBox* cbPageNumbers;
    QCheckBox* cbFirstPageTitle;
    QLineEdit* lbledtCustomTitle;
    QPushButton* bitbtnFont;
    QLabel* lblFont;
    QFontDialog* FontDialog;
};
