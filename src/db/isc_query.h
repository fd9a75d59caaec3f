// One SQL statement run inside a transaction through the client's dynamic SQL. Every fetched row
// is kept, so that moving back needs no new fetch; values are read through the query's one
// field accessor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/isc_client.h"
#include "db/isc_field.h"
#include "db/row_cache.h"

namespace levrano {

class TIscTransaction;
class TSqlDescriptor;

class TIscQuery : public TIscObject {
public:
    using TNotify = std::function<void(TIscQuery* sender)>;
    using TFetchNotify = std::function<void(TIscQuery* sender, int rowCount, bool& abort)>;

    explicit TIscQuery(TIscTransaction* transaction);
    ~TIscQuery() override;

    // Named parameters ("?name") are sent as "?" and, never given values, as NULL. The same text
    // again keeps the prepared statement and its rows.
    void SetSQL(const std::string& text);
    const std::string& SQL() const { return sql_; }
    const std::string& ProcessedSQL() const { return processedSql_; }
    const std::vector<std::string>& ParamNames() const { return paramNames_; }

    void Prepare();
    bool Execute();  // true when the statement ran
    void Open();     // Execute, then the first row
    void First();
    void Next();
    virtual void MoveTo(int index);
    void Unprepare();  // drops the statement; the fetched rows stay

    // Aims the query's one accessor at column `index` (none when out of range) and returns it.
    TIscField& Field(int index);

    TIscTransaction* Transaction() const { return transaction_; }
    bool Prepared() const { return prepared_; }
    bool Eof() const { return eof_; }
    int ColumnCount() const { return columnCount_; }
    int RowCount() const { return rows_.Count(); }
    int CurrentRow() const { return current_; }
    std::int32_t StatementType() const { return statementType_; }

    // A key violation takes the database's own text from "ErrorMsg"; an exception raised by the
    // database's procedures or triggers gives its own message line.
    void CheckStatus() override;
    void LibraryChanged(TIscObject* sender) override;
    void DatabaseClosing(TIscObject* sender) override;
    void OwnerFreed(TIscObject* sender) override;

    TFetchNotify OnFetch;
    TNotify AfterExecute;
    TNotify OnMove;

private:
    friend class TIscField;

    // Where a column's indicator and data lie in the output buffer (offsets).
    static constexpr std::uint32_t kNoIndicator = 0xFFFFFFFF;  // a column that cannot be null
    struct TColumnSlot {
        std::uint32_t indicator;
        std::uint32_t data;
        std::uint16_t length;  // sqllen
        bool varying;          // data starts with its 16-bit length
    };

    bool CallSucceeded(TIscStatus result);
    void DropStatement();
    bool ReturnsRows() const;
    void CloseCursor();
    bool PrepareStatement();
    bool DescribeParameters();
    bool DescribeColumns();
    void LayOutOutputBuffer();
    void SendParametersAsNull();
    void ReadStatementType();
    void ClearRows();
    bool FetchRow();
    std::size_t PackedRowSize() const;
    void StoreRow();
    void LoadRow(int index);
    std::string ConstraintMessage(const std::string& message);
    // The index of a column that can be read now, or -1.
    int ReadableColumn(int index) const;
    const TSqlDescriptor& Output() const { return *output_; }

    TIscField field_;
    TIscTransaction* transaction_;  // not owned
    std::string sql_;
    std::string processedSql_;
    bool prepared_ = false;
    bool cursorOpen_ = false;  // a select ran and its cursor was not closed
    TIscHandle statement_ = 0;
    std::uint16_t dialect_ = 3;  // the database's, taken when preparing
    std::int32_t statementType_ = 0;
    std::vector<std::string> paramNames_;
    int columnCount_ = 0;
    int current_ = -1;
    bool eof_ = false;
    bool allFetched_ = false;
    std::vector<std::byte> outputBuffer_;
    std::vector<TColumnSlot> slots_;
    TRowCache rows_;
    bool abort_ = false;
    bool moving_ = false;
    std::unique_ptr<TSqlDescriptor> bind_;    // one entry per "?"; the server describes their types
    std::unique_ptr<TSqlDescriptor> output_;  // the result columns
};

}  // namespace levrano
