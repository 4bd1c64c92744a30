#pragma once
// Process-wide resources that every element kind uses (the element image
// lists and the class groups) and a handful of small routines.

#include "platform/plImageList.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

class TElementClass;

// The image index meaning "no picture".
constexpr int NoImageIndex = -1;

// ---------------------------------------------------------------------------
// Element images

// One list of 32-bit pictures drawn with their transparency; the size is fixed
// at creation.
class TSchemeImages : public TImageList {
public:
    TSchemeImages(int width, int height) : TImageList(width, height) {}

    // Reads the named resource (any format the image reader knows), cuts it
    // into pictures of the list's size, row by row, and appends them. Returns
    // the index of the first picture added (the count when nothing was added).
    // A PNG strip, whose size its header tells, is decoded only when one of
    // its pictures is first drawn.
    int AddResourceImage(const QString& name);
    // Appends the pictures of a strip held in memory; returns the first index.
    int AddStrip(const QImage& strip);
    // A list of the same size whose pictures are the source's turned grey,
    // each greyed when first asked for. The source must outlive the list.
    static std::unique_ptr<TSchemeImages> CreateDisabled(const TSchemeImages& source);
};

// The greyed form of one picture: each pixel un-premultiplied, its grey value
// (red * 61 + green * 174 + blue * 21) >> 8 put into every channel, its alpha
// multiplied by 0.22. The answer has straight alpha (Format_ARGB32).
QImage GreyedImage(const QImage& source);

// The three shared lists (12, 16 and 32 pixels) and the index of the first
// picture of each, the default picture. Valid between the unit's
// initialisation and finalisation.
TSchemeImages& SchemeCharImages();
TSchemeImages& SchemeSmallImages();
TSchemeImages& SchemeLargeImages();
int DefaultCharImage() noexcept;
int DefaultSmallImage() noexcept;
int DefaultLargeImage() noexcept;

// ---------------------------------------------------------------------------
// Class groups

// A list of lists of element classes; the element units fill the groups.
class TClassesGroups {
public:
    using TGroup = QList<const TElementClass*>;

    // Appends an empty group and returns its index.
    int AddGroup();
    TGroup& GetGroup(int index) { return m_groups[index]; }
    int Count() const noexcept { return int(m_groups.size()); }

private:
    QList<TGroup> m_groups;
};

// The shared instance with four groups (made empty by the initialisation).
TClassesGroups& ClassesGroups();

// The indices of the groups that say what rich text may embed.
enum : int {
    cgRichTextElements = 0,     // every rich-content text
    cgInlineValueElements = 1,  // rich-content texts whose restrictions allow letters
    cgCommentElements = 2,      // comment fields
};

// ---------------------------------------------------------------------------
// Small routines

// A copy cut to 260 characters, then without the characters 0 to 31 and
// " * / : < > ? \ |.
QString SanitizeFileName(const QString& name);

template <class T>
void AddItemOnce(QList<T>& list, const T& item) {
    if (!list.contains(item)) list.append(item);
}
template <class T>
void AddItemsOnce(QList<T>& list, const QList<T>& other) {
    for (const T& item : other) AddItemOnce(list, item);
}
template <class T>
void RemoveItems(QList<T>& list, const QList<T>& other) {
    for (const T& item : other) list.removeAll(item);
}

// The whole milliseconds between two date-time values given as days. Each
// value is taken to the nearest millisecond before the difference, so values
// a whole number of milliseconds apart give exactly that number.
int64_t MillisecondsBetween(double a, double b) noexcept;

// The unit: the image lists with their default pictures and the class groups.
void InitSchemeImagesUnit();
void FinalSchemeImagesUnit();
