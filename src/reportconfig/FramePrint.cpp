#include "reportconfig/FramePrint.h"

#include "calls/Globals.h"
#include "shell/base/CommaText.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum TEntry {
    enTitle,
    enFirstPageOnly,
    enPageNumbers,
    enCharset,
    enColour,
    enName,
    enSize,
    enBold,
    enItalic,
    enUnderline,
    enStrikeOut,
    EntryCount
};

const char* const DefaultFontName = "Arial";
constexpr int DefaultFontSize = 10;

QString FlagText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QFont DefaultFont()
{
    QFont font{QLatin1String(DefaultFontName)};
    font.setPointSize(DefaultFontSize);
    return font;
}

}  // namespace

TFramePrintOptions::TFramePrintOptions(QWidget* owner) : TReportBaseFrame(owner)
{
    auto* box = new QGroupBox(tr(" Printing options "), this);
    box->setObjectName(QStringLiteral("gbPrintingOptions"));
    cbPageNumbers = new QCheckBox(tr("Show page numbers"), box);
    cbPageNumbers->setObjectName(QStringLiteral("cbPageNumbers"));
    cbFirstPageTitle = new QCheckBox(tr("Show title on first page only"), box);
    cbFirstPageTitle->setObjectName(QStringLiteral("cbFirstPageTitle"));
    auto* lblCustomTitle = new QLabel(tr("Custom title:"), box);
    lblCustomTitle->setObjectName(QStringLiteral("lblCustomTitle"));
    lbledtCustomTitle = new QLineEdit(box);
    lbledtCustomTitle->setObjectName(QStringLiteral("lbledtCustomTitle"));
    lblCustomTitle->setBuddy(lbledtCustomTitle);
    bitbtnFont = new QPushButton(tr("Font"), box);
    bitbtnFont->setObjectName(QStringLiteral("bitbtnFont"));
    lblFont = new QLabel(box);
    lblFont->setObjectName(QStringLiteral("lblFont"));
    FontDialog = new QFontDialog(this);
    FontDialog->setObjectName(QStringLiteral("FontDialog"));

    auto* grid = new QGridLayout(box);
    grid->addWidget(cbPageNumbers, 0, 0, 1, 3);
    grid->addWidget(cbFirstPageTitle, 1, 0, 1, 3);
    grid->addWidget(lblCustomTitle, 2, 0);
    grid->addWidget(lbledtCustomTitle, 2, 1, 1, 2);
    grid->addWidget(bitbtnFont, 3, 0);
    grid->addWidget(lblFont, 3, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(box, 2);
    row->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(row);
    page->addStretch(1);

    connect(bitbtnFont, &QPushButton::clicked, this, &TFramePrintOptions::bitbtnFontClick);
    LoadState(QString());
}

QString TFramePrintOptions::CustomTitle() const
{
    return lbledtCustomTitle->text();
}

bool TFramePrintOptions::FirstPageTitleOnly() const
{
    return cbFirstPageTitle->isChecked();
}

bool TFramePrintOptions::PageNumbers() const
{
    return cbPageNumbers->isChecked();
}

void TFramePrintOptions::bitbtnFontClick()
{
    FontDialog->setCurrentFont(font_);
    if (FontDialog->exec() != QDialog::Accepted)
        return;
    font_ = FontDialog->selectedFont();
    ShowFont();
}

// The button tells which font the printout uses.
void TFramePrintOptions::ShowFont()
{
    QStringList styles;
    if (font_.bold())
        styles << tr("bold");
    if (font_.italic())
        styles << tr("italic");
    if (font_.underline())
        styles << tr("underline");
    if (font_.strikeOut())
        styles << tr("strike-out");
    QString text = QStringLiteral("%1, %2").arg(font_.family()).arg(font_.pointSize());
    if (!styles.isEmpty())
        text += QStringLiteral(", ") + styles.join(QStringLiteral(", "));
    lblFont->setText(text);
}

QString TFramePrintOptions::SaveState() const
{
    QStringList entries(EntryCount);
    entries[enTitle] = CustomTitle();
    entries[enFirstPageOnly] = FlagText(FirstPageTitleOnly());
    entries[enPageNumbers] = FlagText(PageNumbers());
    entries[enCharset] = QString::number(charset_);
    entries[enColour] = QString::number(colour_);
    entries[enName] = font_.family();
    entries[enSize] = QString::number(font_.pointSize());
    entries[enBold] = FlagText(font_.bold());
    entries[enItalic] = FlagText(font_.italic());
    entries[enUnderline] = FlagText(font_.underline());
    entries[enStrikeOut] = FlagText(font_.strikeOut());
    return JoinCommaText(entries, false);
}

void TFramePrintOptions::LoadState(const QString& state)
{
    const QStringList entries = SplitCommaText(state);
    font_ = DefaultFont();
    if (entries.size() < EntryCount) {
        lbledtCustomTitle->clear();
        cbFirstPageTitle->setChecked(false);
        cbPageNumbers->setChecked(true);
        charset_ = DefaultCharset;
        colour_ = 0;
    } else {
        lbledtCustomTitle->setText(entries.at(enTitle));
        cbFirstPageTitle->setChecked(StateToBool(entries.at(enFirstPageOnly), false));
        cbPageNumbers->setChecked(StateToBool(entries.at(enPageNumbers), true));
        charset_ = StateToInt(entries.at(enCharset), DefaultCharset);
        colour_ = StateToInt(entries.at(enColour), 0);
        if (!entries.at(enName).isEmpty())
            font_.setFamily(entries.at(enName));
        const int size = StateToInt(entries.at(enSize), DefaultFontSize);
        font_.setPointSize(size > 0 ? size : DefaultFontSize);
        font_.setBold(StateToBool(entries.at(enBold), false));
        font_.setItalic(StateToBool(entries.at(enItalic), false));
        font_.setUnderline(StateToBool(entries.at(enUnderline), false));
        font_.setStrikeOut(StateToBool(entries.at(enStrikeOut), false));
    }
    ShowFont();
}
