// The one field accessor of a query: reads the current row's value of the column it is aimed
// at, converted between the server's column types and integers, floating values, day numbers
// and text.
#pragma once

#include <cstdint>
#include <string>

namespace levrano {

class TIscQuery;

// A blob, array or quad identifier as the server gives it.
struct TIscQuad {
    std::int32_t High = 0;
    std::uint32_t Low = 0;
};

// Reads of a null column, of a column that does not exist, or of a query that is not prepared
// give the empty value of their kind (0, 0.0, empty text, zeros). A read that the column's type
// does not allow raises "Error conversion field [<name>]" with code -2 and gives the empty value
// when that report returns.
class TIscField {
public:
    TIscField(const TIscField&) = delete;
    TIscField& operator=(const TIscField&) = delete;

    bool IsNull() const;
    std::int32_t AsInteger() const;
    double AsDouble() const;
    double AsDateTime() const;  // day number, 1 January of year 1 = day 1
    std::string AsString() const;
    TIscQuad AsQuad() const;

private:
    friend class TIscQuery;
    explicit TIscField(TIscQuery& query) : query_(query) {}

    void ConversionError() const;

    TIscQuery& query_;
    int column_ = -1;  // none
};

}  // namespace levrano
