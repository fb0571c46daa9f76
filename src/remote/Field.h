#pragma once
// One column of a TRemoteDataSet: its metadata, its display properties and typed access to
// its value in the dataset's current record.
//
// Values are QVariants of the field's type: int (Integer, AutoInc), qint16 (Smallint, see
// VarFromInt16), qint64 (Largeint), bool, double (Float, Currency), TVarDate (DateTime,
// TimeStamp, see VarFromDateTime), QString (the string and memo types) and QByteArray
// (Blob); null is an invalid QVariant. Setting a value converts it to the field's type or
// raises EDatabaseError.
//
// DisplayText is the text grids show and Text the text of the editing form; both come from
// the get-text handler when one is set. SetText goes through the set-text handler when one
// is set. Handlers read and write the sender field, which always refers to the record being
// shown or edited.

#include "core/DateTime.h"
#include "remote/Protocol.h"

#include <QString>
#include <QVariant>

#include <functional>

class TRemoteDataSet;
class TField;

enum class TFieldKind : quint8 { Data, Calculated, Lookup };

using TFieldGetTextEvent = std::function<QString(TField& sender, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField& sender, const QString& text)>;

class TField {
public:
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TRemoteDataSet* DataSet() const { return dataSet_; }
    const QString& FieldName() const { return name_; }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }
    TFieldKind FieldKind() const { return kind_; }
    // Declared before the dataset opened (survives closing); dynamic fields are made from the
    // server's metadata at open and destroyed at close.
    bool IsPersistent() const { return persistent_; }

    // Position among the dataset's fields; moving a field moves its grid column.
    int Index() const;
    void SetIndex(int index);

    // The label, or the field's name when no label is set.
    QString DisplayLabel() const;
    void SetDisplayLabel(const QString& label);
    QString DisplayName() const { return DisplayLabel(); }
    // Width in characters; 0 restores the type's default width.
    int DisplayWidth() const;
    void SetDisplayWidth(int width);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Required() const { return required_; }
    void SetRequired(bool required) { required_ = required; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // Part of the key by which applied changes find their row.
    bool IsKey() const { return key_; }
    void SetKey(bool key) { key_ = key; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    // Numbers are right-aligned unless set otherwise.
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment alignment);

    const TFieldGetTextEvent& OnGetText() const { return onGetText_; }
    void SetOnGetText(TFieldGetTextEvent handler);
    const TFieldSetTextEvent& OnSetText() const { return onSetText_; }
    void SetOnSetText(TFieldSetTextEvent handler) { onSetText_ = std::move(handler); }

    // Lookup fields: the value of ResultField in the LookupDataSet row whose LookupKeyFields
    // equal this dataset's KeyFields (field lists separated by ";").
    TRemoteDataSet* LookupDataSet() const { return lookupDataSet_; }
    const QString& KeyFields() const { return keyFields_; }
    const QString& LookupKeyFields() const { return lookupKeyFields_; }
    const QString& LookupResultField() const { return lookupResultField_; }

    // Copies label, width, visibility, tag, alignment and both text handlers.
    void AssignDisplayProperties(const TField& source);

    QVariant Value() const;
    void SetValue(const QVariant& value);
    bool IsNull() const;
    void Clear();

    QString AsString() const;
    void SetAsString(const QString& text);
    int AsInteger() const;
    void SetAsInteger(int value);
    qint64 AsLargeInt() const;
    void SetAsLargeInt(qint64 value);
    double AsFloat() const;
    void SetAsFloat(double value);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime value);
    bool AsBoolean() const;
    void SetAsBoolean(bool value);
    QByteArray AsBytes() const;
    void SetAsBytes(const QByteArray& value);

    QString DisplayText() const;
    QString Text() const;
    void SetText(const QString& text);

    // A value converted to a field type (raising EDatabaseError when it does not convert);
    // texts are read with the regional settings.
    static QVariant Converted(TFieldType type, const QVariant& value, const QString& fieldName);
    // The text of a value of that type as AsString gives it.
    static QString ValueText(TFieldType type, const QVariant& value);
    static bool IsNumericType(TFieldType type);
    static bool IsStringType(TFieldType type);
    static bool IsDateTimeType(TFieldType type);  // DateTime, TimeStamp
    // Whether two values of a field are the same: null equals only null.
    static bool SameValue(const QVariant& a, const QVariant& b);

private:
    friend class TRemoteDataSet;
    TField(TRemoteDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind,
           bool persistent);
    void Changed() const;

    TRemoteDataSet* dataSet_;
    QString name_;
    TFieldType type_;
    int size_;
    TFieldKind kind_;
    bool persistent_;
    QString label_;
    int displayWidth_ = 0;
    bool visible_ = true;
    bool required_ = false;
    bool readOnly_ = false;
    bool key_ = false;
    int tag_ = 0;
    Qt::Alignment alignment_;
    bool alignmentSet_ = false;
    TFieldGetTextEvent onGetText_;
    TFieldSetTextEvent onSetText_;
    TRemoteDataSet* lookupDataSet_ = nullptr;
    QString keyFields_;
    QString lookupKeyFields_;
    QString lookupResultField_;

    // Set up by the dataset while it is open.
    int storeColumn_ = -1;  // data and calculated fields
    int wireIndex_ = -1;    // data fields: position in the provider's rows
};
