#include "shell/ImageLists.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources live in a static library: their registration must be pulled in by hand.
static void InitShellResources()
{
    Q_INIT_RESOURCE(shell);
}

void TImageList::Load(const QString& folder, const QList<int>& indexes)
{
    InitShellResources();
    for (int index : indexes) {
        const QString path =
            QStringLiteral(":/images/%1/%2.svg").arg(folder).arg(index, 2, 10, QLatin1Char('0'));
        QSvgRenderer renderer(path);
        if (!renderer.isValid())
            continue;
        QIcon icon;
        // Drawn once per size the tool bars ask for, so that small menus stay crisp.
        for (int size : {16, 24, 32, ImageSize}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            renderer.render(&painter);
            painter.end();
            icon.addPixmap(pixmap);
        }
        icons_.insert(index, icon);
    }
}

const TImageList& MainImageList()
{
    static const TImageList list = [] {
        TImageList l;
        l.Load(QStringLiteral("main"), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 49});
        return l;
    }();
    return list;
}

const TImageList& CommonImageList()
{
    static const TImageList list = [] {
        TImageList l;
        l.Load(QStringLiteral("common"),
               {imgc::Delete, imgc::DeleteAll, imgc::PreviewPrint, imgc::Refresh, imgc::ExportText});
        return l;
    }();
    return list;
}

const TImageList& TreeImageList()
{
    static const TImageList list = [] {
        TImageList l;
        QList<int> indexes;
        for (int i = 0; i < imgt::Count; ++i)
            indexes.append(i);
        l.Load(QStringLiteral("tree"), indexes);
        return l;
    }();
    return list;
}
