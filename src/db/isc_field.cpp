#include "db/isc_field.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "db/field_text.h"
#include "db/isc_query.h"
#include "db/sql_descriptor.h"
#include "platform/locale_format.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

int TypeOf(const XSQLVAR& column) { return column.sqltype & ~1; }

template <typename T>
T Load(const ISC_SCHAR* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool IsNullColumn(const XSQLVAR& column) {
    return !column.sqldata || ((column.sqltype & 1) && column.sqlind && Load<ISC_SHORT>(reinterpret_cast<const ISC_SCHAR*>(column.sqlind)) == -1);
}

bool IsText(const XSQLVAR& column) { return TypeOf(column) == SQL_TEXT || TypeOf(column) == SQL_VARYING; }

bool IsScaledInteger(const XSQLVAR& column) {
    const int type = TypeOf(column);
    return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}

bool ScaleInRange(const XSQLVAR& column) { return column.sqlscale >= -kMaxScale && column.sqlscale <= kMaxScale; }

// Fixed text with all its bytes (trailing blanks too), varying text at its stored length.
std::string_view Text(const XSQLVAR& column) {
    if (TypeOf(column) == SQL_TEXT) return {column.sqldata, static_cast<std::uint16_t>(column.sqllen)};
    const auto length = std::min(Load<std::uint16_t>(column.sqldata), static_cast<std::uint16_t>(column.sqllen));
    return {column.sqldata + sizeof(std::uint16_t), length};
}

std::int64_t RawInteger(const XSQLVAR& column) {
    switch (TypeOf(column)) {
        case SQL_SHORT: return Load<std::int16_t>(column.sqldata);
        case SQL_LONG: return Load<std::int32_t>(column.sqldata);
        default: return Load<std::int64_t>(column.sqldata);
    }
}

std::string_view Name(const XSQLVAR& column) {
    return {column.sqlname, strnlen(column.sqlname, sizeof column.sqlname)};
}

bool IsKeyName(const XSQLVAR& column) { return Name(column) == "DB_KEY" || Name(column) == "RDB$DB_KEY"; }

// The record key's two little-endian words, the second one first.
std::string KeyText(const XSQLVAR& column) {
    return HexPairText(Load<std::uint32_t>(column.sqldata + 4), Load<std::uint32_t>(column.sqldata));
}

TIscQuad Quad(const XSQLVAR& column) {
    const auto id = Load<ISC_QUAD>(column.sqldata);
    return {id.gds_quad_high, id.gds_quad_low};
}

// The column to read a value from: none when the accessor is aimed at nothing readable or the
// value is null.
const XSQLVAR* ValueColumn(int index, const TSqlDescriptor& output) {
    if (index < 0 || IsNullColumn(output[index])) return nullptr;
    return &output[index];
}

}  // namespace

void TIscField::ConversionError() const {
    const XSQLVAR& column = query_.Output()[query_.ReadableColumn(column_)];
    query_.RaiseError(-2, "Error conversion field [" + std::string(Name(column)) + "]");
}

bool TIscField::IsNull() const {
    const int index = query_.ReadableColumn(column_);
    return index < 0 || IsNullColumn(query_.Output()[index]);
}

std::int32_t TIscField::AsInteger() const {
    const XSQLVAR* value = ValueColumn(query_.ReadableColumn(column_), query_.Output());
    if (!value) return 0;
    const XSQLVAR& column = *value;
    if (IsText(column)) return StrToInt32(Text(column));
    if (IsScaledInteger(column) && ScaleInRange(column)) return ScaledTruncated(RawInteger(column), column.sqlscale);
    ConversionError();
    return 0;
}

double TIscField::AsDouble() const {
    const XSQLVAR* value = ValueColumn(query_.ReadableColumn(column_), query_.Output());
    if (!value) return 0.0;
    const XSQLVAR& column = *value;
    if (IsText(column)) return LooseTextToDouble(Text(column));
    if (IsScaledInteger(column) && ScaleInRange(column)) return ScaledValue(RawInteger(column), column.sqlscale);
    switch (TypeOf(column)) {
        case SQL_DOUBLE:
        case SQL_D_FLOAT: return Load<double>(column.sqldata);
        case SQL_FLOAT: return Load<float>(column.sqldata);
    }
    ConversionError();
    return 0.0;
}

double TIscField::AsDateTime() const {
    const XSQLVAR* value = ValueColumn(query_.ReadableColumn(column_), query_.Output());
    if (!value) return 0.0;
    const XSQLVAR& column = *value;
    TDateTimeParts parts;
    if (IsText(column) && ParseLocaleDateTime(Text(column), parts)) return DayNumber(parts);
    switch (TypeOf(column)) {
        case SQL_TIMESTAMP: {
            const auto value = Load<ISC_TIMESTAMP>(column.sqldata);
            return DayNumber(value.timestamp_date) + DayFraction(value.timestamp_time);
        }
        case SQL_TYPE_DATE: return DayNumber(Load<ISC_DATE>(column.sqldata));
        case SQL_TYPE_TIME: return DayFraction(Load<ISC_TIME>(column.sqldata));
    }
    ConversionError();
    return 0.0;
}

std::string TIscField::AsString() const {
    const XSQLVAR* value = ValueColumn(query_.ReadableColumn(column_), query_.Output());
    if (!value) return std::string();
    const XSQLVAR& column = *value;
    if (IsText(column) && !IsKeyName(column)) return std::string(Text(column));
    // A record key as the server hands it out: fixed text of 8 bytes or more (Firebird 3
    // describes RDB$DB_KEY as a column that may be null).
    if (TypeOf(column) == SQL_TEXT && column.sqllen >= 8) return KeyText(column);
    if (IsScaledInteger(column) && ScaleInRange(column)) return ScaledText(RawInteger(column), column.sqlscale);
    switch (TypeOf(column)) {
        case SQL_DOUBLE:
        case SQL_D_FLOAT: return DecimalText(Load<double>(column.sqldata));
        case SQL_FLOAT: return DecimalText(Load<float>(column.sqldata));
        case SQL_TIMESTAMP: {
            const auto value = Load<ISC_TIMESTAMP>(column.sqldata);
            return FormatLocaleDateTime(ServerDateTimeParts(value.timestamp_date, value.timestamp_time));
        }
        case SQL_TYPE_DATE: return DateText(Load<ISC_DATE>(column.sqldata));
        case SQL_TYPE_TIME: return TimeText(Load<ISC_TIME>(column.sqldata));
        case SQL_BLOB: {
            const TIscQuad id = Quad(column);
            return "(Blob ID: " + HexPairText(static_cast<std::uint32_t>(id.High), id.Low) + " )";
        }
        case SQL_ARRAY: return "(Array)";
    }
    ConversionError();
    return {};
}

TIscQuad TIscField::AsQuad() const {
    const XSQLVAR* value = ValueColumn(query_.ReadableColumn(column_), query_.Output());
    if (!value) return TIscQuad{};
    const XSQLVAR& column = *value;
    const int type = TypeOf(column);
    if (type == SQL_BLOB || type == SQL_ARRAY || type == SQL_QUAD) return Quad(column);
    ConversionError();
    return {};
}

}  // namespace levrano
