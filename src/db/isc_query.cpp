#include "db/isc_query.h"

#include <algorithm>
#include <cstring>

#include "common/exception.h"
#include "db/isc_api.h"
#include "db/isc_database.h"
#include "db/isc_transaction.h"
#include "db/sql_descriptor.h"

namespace levrano {

namespace {

constexpr std::int32_t kUniqueKeyViolation = 335544665;
constexpr std::int32_t kForeignKeyViolation = 335544466;
constexpr TIscStatus kProcedureException = 335544517;  // raised by the database's own procedures and triggers
constexpr TIscStatus kNoMoreRows = 100;

bool IsParamNameChar(char c) {
    return c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A text as an SQL string literal's content: every apostrophe doubled.
std::string QuotedLiteral(std::string_view text) {
    std::string quoted;
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted;
}

// The third line of a message cut at line feeds (keeping the carriage return before one).
std::string ThirdLine(const std::string& message) {
    std::size_t start = 0;
    for (int line = 0; line < 2; ++line) {
        const std::size_t feed = message.find('\n', start);
        if (feed == std::string::npos) return {};
        start = feed + 1;
    }
    return message.substr(start, message.find('\n', start) - start);
}

std::uint16_t StoredLength(const std::byte* data) {
    std::uint16_t length;
    std::memcpy(&length, data, sizeof length);
    return length;
}

}  // namespace

TIscQuery::TIscQuery(TIscTransaction* transaction)
    : field_(*this),
      transaction_(transaction),
      bind_(std::make_unique<TSqlDescriptor>()),
      output_(std::make_unique<TSqlDescriptor>()) {
    if (!transaction_) return;
    SetLibrary(transaction_->Library());
    transaction_->AddDependent(this);
}

TIscQuery::~TIscQuery() {
    // A destructor cannot report: a failed drop or commit is lost here.
    try {
        Unprepare();
    } catch (const Exception&) {
    }
    if (!transaction_) return;
    try {
        transaction_->QueryFreed(this);
    } catch (const Exception&) {
    }
}

void TIscQuery::SetSQL(const std::string& text) {
    if (text == sql_) return;
    sql_ = text;
    if (prepared_) Unprepare();
    paramNames_.clear();
    processedSql_.clear();
    bool inName = false;
    std::string name;
    for (char c : text) {
        if (c == '?') {
            if (inName) paramNames_.push_back(name);
            name.clear();
            inName = true;
            processedSql_ += c;
        } else if (!inName) {
            processedSql_ += c;
        } else if (IsParamNameChar(c)) {
            name += c;
        } else {
            processedSql_ += c;
            paramNames_.push_back(name);
            inName = false;
        }
    }
    if (inName) paramNames_.push_back(name);
    prepared_ = false;
}

bool TIscQuery::CallSucceeded(TIscStatus result) {
    LastResult = result;
    CheckStatus();
    return LastResult == 0;
}

void TIscQuery::Prepare() {
    if (processedSql_.empty()) return RaiseError(-1, "Prepare: SQL-text not assigned!");
    if (!transaction_) return RaiseError(-1, "Prepare: Transaction = nil!");
    if (!transaction_->Database()) return RaiseError(-1, "Prepare: Transaction.Database = nil!");
    std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
    ClearRows();
    prepared_ = false;
    statementType_ = 0;
    columnCount_ = 0;
    // A statement left by a preparation that failed half-way is dropped, not leaked.
    DropStatement();
    if (!PrepareStatement() || !DescribeParameters() || !DescribeColumns()) return;
    LayOutOutputBuffer();
    ReadStatementType();
}

bool TIscQuery::PrepareStatement() {
    TIscDatabase* database = transaction_->Database();
    if (!CallSucceeded(bound::isc_dsql_alloc_statement2(*Library(), Status.data(), database->Handle(), &statement_)))
        return false;
    output_->Resize(1);
    dialect_ = database->Dialect();
    if (!CallSucceeded(bound::isc_dsql_prepare(*Library(), Status.data(), transaction_->Handle(), &statement_, 0,
                                               processedSql_.c_str(), dialect_, output_->Get())))
        return false;
    columnCount_ = output_->Used();
    return true;
}

bool TIscQuery::DescribeParameters() {
    bind_->Resize(static_cast<int>(paramNames_.size()));
    if (!CallSucceeded(bound::isc_dsql_describe_bind(*Library(), Status.data(), &statement_, dialect_, bind_->Get())))
        return false;
    if (bind_->Used() == bind_->Allocated()) return true;
    bind_->Resize(bind_->Used());
    return CallSucceeded(bound::isc_dsql_describe_bind(*Library(), Status.data(), &statement_, dialect_, bind_->Get()));
}

bool TIscQuery::DescribeColumns() {
    if (output_->Used() == output_->Allocated()) return true;
    output_->Resize(output_->Used());
    return CallSucceeded(bound::isc_dsql_describe(*Library(), Status.data(), &statement_, dialect_, output_->Get()));
}

// Column by column, without padding: the null indicator of a column that may be null, then
// its sqllen bytes (2 more for varying text, whose length comes first).
void TIscQuery::LayOutOutputBuffer() {
    slots_.clear();
    std::uint32_t size = 0;
    for (int i = 0; i < columnCount_; ++i) {
        const XSQLVAR& column = (*output_)[i];
        TColumnSlot slot{kNoIndicator, 0, static_cast<std::uint16_t>(column.sqllen), (column.sqltype & ~1) == SQL_VARYING};
        if (column.sqltype & 1) {
            slot.indicator = size;
            size += sizeof(ISC_SHORT);
        }
        slot.data = size;
        size += slot.length + (slot.varying ? sizeof(ISC_SHORT) : 0);
        slots_.push_back(slot);
    }
    outputBuffer_.assign(size, std::byte{0});
    for (int i = 0; i < columnCount_; ++i) {
        XSQLVAR& column = (*output_)[i];
        const TColumnSlot& slot = slots_[i];
        column.sqlind = slot.indicator == kNoIndicator ? nullptr : reinterpret_cast<ISC_SHORT*>(&outputBuffer_[slot.indicator]);
        column.sqldata = reinterpret_cast<ISC_SCHAR*>(&outputBuffer_[slot.data]);
    }
}

void TIscQuery::ReadStatementType() {
    const ISC_SCHAR item = isc_info_sql_stmt_type;
    ISC_SCHAR answer[8] = {};
    if (!CallSucceeded(bound::isc_dsql_sql_info(*Library(), Status.data(), &statement_, 1, &item, sizeof answer, answer)))
        return;
    const ISC_LONG length = answer[0] == isc_info_sql_stmt_type ? bound::isc_vax_integer(*Library(), answer + 1, 2) : -1;
    if (length < 0 || length > 4) return RaiseError(-1, "Unknown SQL Type!");
    statementType_ = bound::isc_vax_integer(*Library(), answer + 3, static_cast<short>(length));
    prepared_ = LastResult == 0;
    CheckStatus();
}

// Nothing gives parameters values, so each is sent as a NULL; an entry without data that is
// not marked null would make the client library read through a null address.
void TIscQuery::SendParametersAsNull() {
    static ISC_SHORT nullIndicator = -1;
    static ISC_SCHAR noData[1];
    for (int i = 0; i < bind_->Allocated(); ++i) {
        XSQLVAR& parameter = (*bind_)[i];
        parameter.sqltype = SQL_TEXT | 1;
        parameter.sqllen = 0;
        parameter.sqldata = noData;
        parameter.sqlind = &nullIndicator;
    }
}

bool TIscQuery::Execute() {
    allFetched_ = false;
    abort_ = false;
    ClearRows();
    if (!prepared_) Prepare();
    if (!prepared_) return false;
    SendParametersAsNull();
    {
        std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
        CloseCursor();
        LastResult = bound::isc_dsql_execute(*Library(), Status.data(), transaction_->Handle(), &statement_, dialect_,
                                             bind_->Get());
        CheckStatus();
        cursorOpen_ = LastResult == 0 && ReturnsRows();
    }
    const bool ran = LastResult == 0;
    if (AfterExecute) AfterExecute(this);
    return ran;
}

void TIscQuery::Open() {
    if (Execute() && columnCount_ > 0) First();
}

void TIscQuery::First() {
    if (current_ == 0) return;
    current_ = -1;
    eof_ = false;
    Next();
}

void TIscQuery::Next() {
    if (eof_) return;
    ++current_;
    if (current_ < rows_.Count() || !prepared_ || allFetched_) {
        if (current_ >= rows_.Count()) {
            // Past the stored rows with nothing more to fetch (or never executed).
            eof_ = true;
            current_ = rows_.Count() - 1;
            if (current_ < 0) return;
        }
        LoadRow(current_);
    } else {
        if (!FetchRow()) return;
        StoreRow();
        if (OnFetch) {
            abort_ = false;
            OnFetch(this, rows_.Count(), abort_);
            if (abort_) return;
        }
    }
    if (OnMove && !moving_) OnMove(this);
}

bool TIscQuery::FetchRow() {
    {
        std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
        LastResult = bound::isc_dsql_fetch(*Library(), Status.data(), &statement_, dialect_, output_->Get());
        if (LastResult != kNoMoreRows) CheckStatus();
    }
    eof_ = LastResult == kNoMoreRows;
    // Any other result than a row (an error that was not raised) ends the rows too.
    allFetched_ = LastResult != 0;
    return !allFetched_;
}

std::size_t TIscQuery::PackedRowSize() const {
    std::size_t size = 0;
    for (const TColumnSlot& slot : slots_) {
        if (slot.indicator != kNoIndicator) size += sizeof(ISC_SHORT);
        size += slot.varying ? sizeof(ISC_SHORT) + std::min(StoredLength(&outputBuffer_[slot.data]), slot.length)
                             : slot.length;
    }
    return size;
}

void TIscQuery::StoreRow() {
    std::byte* row = rows_.Add(PackedRowSize());
    for (const TColumnSlot& slot : slots_) {
        if (slot.indicator != kNoIndicator) {
            std::memcpy(row, &outputBuffer_[slot.indicator], sizeof(ISC_SHORT));
            row += sizeof(ISC_SHORT);
        }
        const std::byte* data = &outputBuffer_[slot.data];
        if (!slot.varying) {
            std::memcpy(row, data, slot.length);
            row += slot.length;
            continue;
        }
        const std::uint16_t length = std::min(StoredLength(data), slot.length);
        std::memcpy(row, &length, sizeof length);
        std::memcpy(row + sizeof length, data + sizeof length, length);
        row += sizeof length + length;
    }
}

void TIscQuery::LoadRow(int index) {
    const std::byte* row = rows_.Row(index);
    for (const TColumnSlot& slot : slots_) {
        if (slot.indicator != kNoIndicator) {
            std::memcpy(&outputBuffer_[slot.indicator], row, sizeof(ISC_SHORT));
            row += sizeof(ISC_SHORT);
        }
        const std::size_t size = slot.varying ? sizeof(ISC_SHORT) + StoredLength(row) : slot.length;
        std::memcpy(&outputBuffer_[slot.data], row, size);
        row += size;
    }
}

void TIscQuery::MoveTo(int index) {
    if (index == current_ || index < 0 || columnCount_ == 0) return;
    if (index < rows_.Count()) {
        current_ = index;
        LoadRow(index);
        if (allFetched_) eof_ = index == rows_.Count() - 1;
    } else {
        moving_ = true;
        current_ = rows_.Count() - 1;
        try {
            while (current_ < index && !eof_ && LastResult == 0 && !abort_) Next();
        } catch (...) {
            moving_ = false;
            throw;
        }
        moving_ = false;
    }
    if (OnMove) OnMove(this);
}

bool TIscQuery::ReturnsRows() const {
    return statementType_ == isc_info_sql_stmt_select || statementType_ == isc_info_sql_stmt_select_for_upd;
}

// The server refuses to execute a select again while its cursor from the last run is open.
void TIscQuery::CloseCursor() {
    if (!cursorOpen_) return;
    cursorOpen_ = false;
    LastResult = bound::isc_dsql_free_statement(*Library(), Status.data(), &statement_, DSQL_close);
    if (LastResult == isc_dsql_cursor_close_err) return;  // ending the transaction closed it already
    CheckStatus();
}

void TIscQuery::DropStatement() {
    cursorOpen_ = false;
    if (statement_ == 0) return;
    std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
    LastResult = bound::isc_dsql_free_statement(*Library(), Status.data(), &statement_, DSQL_drop);
    CheckStatus();
}

void TIscQuery::Unprepare() {
    DropStatement();
    prepared_ = false;
    allFetched_ = true;
}

void TIscQuery::ClearRows() {
    rows_.Clear();
    current_ = -1;
    eof_ = false;
}

TIscField& TIscQuery::Field(int index) {
    field_.column_ = index >= 0 && index < columnCount_ ? index : -1;
    return field_;
}

int TIscQuery::ReadableColumn(int index) const {
    const bool readable = prepared_ && index >= 0 && index < columnCount_ && index < output_->Allocated();
    return readable ? index : -1;
}

void TIscQuery::CheckStatus() {
    try {
        TIscObject::CheckStatus();
    } catch (const Exception& error) {
        const auto code = static_cast<std::int32_t>(LastResult);
        if (error.Code() == kUniqueKeyViolation || error.Code() == kForeignKeyViolation)
            throw Exception(ConstraintMessage(error.Message()), code);
        if (LastResult == kProcedureException) {
            std::string line = ThirdLine(error.Message());
            if (!line.empty()) throw Exception(std::move(line), error.Code());
        }
        throw Exception(error.Message(), code);
    }
}

// The database's own text for the constraint named between the first two double quotes of a
// key violation, read from "ErrorMsg"; the server's message when there is none.
std::string TIscQuery::ConstraintMessage(const std::string& message) {
    const std::size_t open = message.find('"');
    const std::size_t close = open == std::string::npos ? open : message.find('"', open + 1);
    if (close == std::string::npos || close + 1 >= message.size() || !transaction_) return message;
    const std::string name = message.substr(open + 1, close - open - 1);
    try {
        TIscQuery lookup(transaction_);
        lookup.SetSQL("select \"Msg\" from \"ErrorMsg\" where \"ConstraintName\" = '" + QuotedLiteral(name) + "'");
        lookup.Open();
        if (!lookup.Eof()) return lookup.Field(0).AsString();
    } catch (const Exception&) {
        // A database without a readable message table keeps the server's text.
    }
    return message;
}

void TIscQuery::LibraryChanged(TIscObject* sender) {
    if (sender == transaction_) SetLibrary(transaction_->Library());
}

void TIscQuery::DatabaseClosing(TIscObject*) { Unprepare(); }

void TIscQuery::OwnerFreed(TIscObject* sender) {
    if (sender != transaction_) return;
    transaction_ = nullptr;
    prepared_ = false;
}

}  // namespace levrano
