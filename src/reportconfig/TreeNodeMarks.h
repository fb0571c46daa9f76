#pragma once
// The images of the report tree's nodes. A node keeps its image index and its selected
// image index (the window's image list numbering) in item data; when the tree has been
// given its image list, the node's icon shows them (the selected image in the selected
// mode). A filter page marks its node on (image 1) or off (image 0) whenever its On/Off
// control changes; the selected image is always the image plus 2.

#include <QIcon>
#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

inline constexpr int NodeImageIndexRole = Qt::UserRole + 100;
inline constexpr int NodeSelectedImageIndexRole = Qt::UserRole + 101;

// The images the tree's nodes refer to by index.
void SetTreeImages(QTreeWidget* tree, const QList<QIcon>& images);

void SetNodeImages(QTreeWidgetItem* node, int imageIndex, int selectedImageIndex);
// -1 for a node without one.
int NodeImageIndex(const QTreeWidgetItem* node);
int NodeSelectedImageIndex(const QTreeWidgetItem* node);

// Image 1 and selected image 3 when on, 0 and 2 when off. A null node (a page without a
// node of its own) is ignored.
void MarkFilterNode(QTreeWidgetItem* node, bool on);
// Whether a node shows the "on" image.
bool IsNodeMarkedOn(const QTreeWidgetItem* node);
