#pragma once
// The image lists of the client's windows: the main window's ImageList (48 x 48; indexes
// 0 to 15 and 49 carry meaning, 4, 5 and 6 are state images), ImageListCommon, which the
// tool bars of the child windows share (48 x 48), and the report tree's node images
// (ImageListTree, shown at 24 x 24). The pictures are drawn from the embedded SVG files.

#include <QIcon>
#include <QMap>

class TImageList {
public:
    static constexpr int ImageSize = 48;

    // An empty icon for an index without a picture.
    QIcon Icon(int index) const { return icons_.value(index); }
    bool Has(int index) const { return icons_.contains(index); }
    int Count() const { return static_cast<int>(icons_.size()); }

    // Adds the pictures ":/images/<folder>/NN.svg" for the given indexes.
    void Load(const QString& folder, const QList<int>& indexes);

private:
    QMap<int, QIcon> icons_;
};

// Indexes of the main window's images.
namespace img {
inline constexpr int Report = 0;
inline constexpr int Admin = 1;
inline constexpr int Archives = 2;
inline constexpr int Queue = 3;
inline constexpr int Stopped = 4;
inline constexpr int ReceiverRunning = 5;
inline constexpr int QueueEnabled = 6;
inline constexpr int AccessLevel = 8;
inline constexpr int LogsReport = 9;
inline constexpr int Options = 10;
inline constexpr int Help = 11;
inline constexpr int Exit = 12;
inline constexpr int Cascade = 13;
inline constexpr int TileHorizontal = 14;
inline constexpr int TileVertical = 15;
inline constexpr int Clear = 49;
}  // namespace img

// Indexes of ImageListCommon.
namespace imgc {
inline constexpr int Delete = 0;
inline constexpr int DeleteAll = 1;
inline constexpr int PreviewPrint = 4;
inline constexpr int Refresh = 8;
inline constexpr int ExportText = 9;
}  // namespace imgc

// Indexes of ImageListTree: a filter node shows FilterOff or FilterOn, selected the same
// plus 2; the others their own picture.
namespace imgt {
inline constexpr int FilterOff = 0;
inline constexpr int FilterOn = 1;
inline constexpr int Report = 4;
inline constexpr int Configuration = 5;
inline constexpr int SpecialReport = 6;
inline constexpr int Interval = 7;
inline constexpr int PrintOptions = 8;
inline constexpr int Archive = 9;
inline constexpr int SimpleMode = 10;
inline constexpr int AdvancedMode = 11;
inline constexpr int Count = 12;
inline constexpr int Size = 24;
}  // namespace imgt

const TImageList& MainImageList();
const TImageList& CommonImageList();
const TImageList& TreeImageList();
