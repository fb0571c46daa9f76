#include "reportconfig/TreeNodeMarks.h"

#include <QTreeWidget>
#include <QVariant>

namespace {

const char* const kImagesProperty = "telvaneNodeImages";

QList<QIcon> TreeImages(const QTreeWidgetItem* node)
{
    const QTreeWidget* tree = node->treeWidget();
    return tree ? tree->property(kImagesProperty).value<QList<QIcon>>() : QList<QIcon>();
}

void UpdateIcon(QTreeWidgetItem* node)
{
    const QList<QIcon> images = TreeImages(node);
    const int image = NodeImageIndex(node);
    if (image < 0 || image >= images.size())
        return;
    QIcon icon;
    const int selected = NodeSelectedImageIndex(node);
    for (const QSize& size : images.at(image).availableSizes()) {
        icon.addPixmap(images.at(image).pixmap(size), QIcon::Normal);
        if (selected >= 0 && selected < images.size())
            icon.addPixmap(images.at(selected).pixmap(size), QIcon::Selected);
    }
    node->setIcon(0, icon);
}

void UpdateIcons(QTreeWidgetItem* node)
{
    UpdateIcon(node);
    for (int i = 0; i < node->childCount(); ++i)
        UpdateIcons(node->child(i));
}

}  // namespace

void SetTreeImages(QTreeWidget* tree, const QList<QIcon>& images)
{
    tree->setProperty(kImagesProperty, QVariant::fromValue(images));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        UpdateIcons(tree->topLevelItem(i));
}

void SetNodeImages(QTreeWidgetItem* node, int imageIndex, int selectedImageIndex)
{
    if (!node)
        return;
    node->setData(0, NodeImageIndexRole, imageIndex);
    node->setData(0, NodeSelectedImageIndexRole, selectedImageIndex);
    UpdateIcon(node);
}

int NodeImageIndex(const QTreeWidgetItem* node)
{
    const QVariant v = node ? node->data(0, NodeImageIndexRole) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

int NodeSelectedImageIndex(const QTreeWidgetItem* node)
{
    const QVariant v = node ? node->data(0, NodeSelectedImageIndexRole) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

void MarkFilterNode(QTreeWidgetItem* node, bool on)
{
    const int image = on ? 1 : 0;
    SetNodeImages(node, image, image + 2);
}

bool IsNodeMarkedOn(const QTreeWidgetItem* node)
{
    return NodeImageIndex(node) == 1;
}
