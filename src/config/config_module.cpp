#include "config/config_module.h"

#include <cerrno>
#include <exception>
#include <memory>

#include "common/cp1251.h"
#include "common/exception.h"
#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "config/UfmConfig.h"
#include "config/config_keys.h"
#include "db/isc_database.h"
#include "db/isc_query.h"
#include "db/isc_transaction.h"
#include "operator/show_error.h"
#include "platform/host_window.h"
#include "platform/system_error.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

constexpr const char* kClientLibrary = "gds32.dll";
constexpr const char* kTankQuery = R"(select "TankId", "Number" from "Tank" order by "Number")";

using Box = TfmConfig::TConnectionBox;

// One box of the page "Связь" and the attribute of "port" that it holds.
struct TPortValue {
    Box box;
    std::string_view key;
    std::string_view shownWhenMissing;
};

// Read when the dialog opens and written on "ОК", in this order.
constexpr TPortValue kPortValues[] = {
    {Box::Port, config::kPortNumber, config::kDialogPortNumber},
    {Box::Mode, config::kPortMode, config::kDialogMode},
    {Box::Timeout, config::kPortTimeout, config::kDialogTimeout},
    {Box::Delay, config::kPortDelay, config::kDialogDelay},
};

// The measured parameters of a tank entry, in the order of the file.
struct TTankFlag {
    std::string_view key;
    bool TTankEntry::*flag;
};

constexpr TTankFlag kTankFlags[] = {
    {config::kHasH, &TTankEntry::HasH}, {config::kHasV, &TTankEntry::HasV}, {config::kHasD, &TTankEntry::HasD},
    {config::kHasT, &TTankEntry::HasT}, {config::kHasW, &TTankEntry::HasW},
};

// ---- Opening: the file's values into the dialog --------------------------------------------------

void ShowConnection(TfmConfig& dialog, TXmlDocument& document) {
    dialog.SetCaption(ReadString(&document, config::kBoot, config::kBootName, config::kDialogCaption));
    for (const TPortValue& value : kPortValues)
        dialog.SetBoxText(value.box, ReadString(&document, config::kPort, value.key, value.shownWhenMissing));
    dialog.InsertConnectionPage();
    dialog.SetDefaultTanks(ReadBool(&document, config::kTanks, config::kTanksDefault, config::kDialogDefaultTanks));
}

// The first child that names the tank decides; a tank without one (or a file without the table)
// keeps the entry's defaults.
void ApplyFileEntry(TTankEntry& entry, TXmlNode* tanks) {
    for (std::int32_t i = 0; i < Count(tanks); ++i) {
        TXmlNode* child = Child(tanks, i);
        if (ReadInteger(child, {}, config::kTankId, 0) != entry.TankId) continue;
        entry.Address = ReadInteger(child, {}, config::kTankAddress, 0);
        for (const TTankFlag& flag : kTankFlags) entry.*flag.flag = ReadBool(child, {}, flag.key, true);
        return;
    }
}

// One row per tank of the station, in the query's order (ascending number).
void ShowTanks(TfmConfig& dialog, TIscQuery& query, TXmlNode* tanks) {
    while (!query.Eof()) {
        TTankEntry entry;
        entry.TankId = query.Field(0).AsInteger();
        entry.Number = query.Field(1).AsInteger();
        ApplyFileEntry(entry, tanks);
        dialog.AddTank(entry);
        query.Next();
    }
    dialog.InsertSensorsPage();
}

// The attachment the host keeps open for the whole Configure. Held until Configure ends.
IntfPtr<IHostDatabase> HostDatabase(IConfigApplication& application) {
    IntfPtr<IHostDatabase> database = IntfPtr<IHostDatabase>::Adopt(application.GetDatabase());
    if (!database) throw Exception(std::string("Приложение не предоставило базу данных станции"_cp));
    return database;
}

TIscHandle OpenHandle(IHostDatabase& database) {
    const TIscHandle handle = database.GetHandle();
    if (handle == 0) throw Exception(std::string("База данных станции не открыта приложением"_cp));
    return handle;
}

// ---- "ОК": the dialog's values into the file -----------------------------------------------------

void WriteConnection(const TfmConfig& dialog, TXmlDocument& document) {
    for (const TPortValue& value : kPortValues)
        WriteString(&document, config::kPort, value.key, dialog.BoxText(value.box));
}

// The table is written anew: entries of tanks no longer in the station, and every entry while
// tanks are served by position, are gone.
void WriteTanks(const TfmConfig& dialog, TXmlDocument& document) {
    TXmlNode* tanks = FindNode(&document, config::kTanks, true);
    Clear(tanks, true, true);
    WriteBool(tanks, {}, config::kTanksDefault, dialog.DefaultTanks());
    if (dialog.DefaultTanks()) return;
    for (const TTankEntry& entry : dialog.Tanks()) {
        if (entry.Address <= 0) continue;
        TXmlNode* item = AddElement(tanks, config::kTankItem, {});
        WriteInteger(item, {}, config::kTankId, entry.TankId);
        WriteInteger(item, {}, config::kTankAddress, entry.Address);
        for (const TTankFlag& flag : kTankFlags) WriteBool(item, {}, flag.key, entry.*flag.flag);
    }
}

// The save replaces the file atomically, so a failure leaves the old one as it was.
void Save(const TXmlDocument& document, const std::string& path) {
    errno = 0;
    if (SaveXmlDocument(&document, path)) return;
    const int error = errno;
    std::string message = std::string("Ошибка записи файла "_cp) + "\"" + path + "\"";
    if (error != 0) message += " :" + SystemErrorText(error);
    throw Exception(message);
}

// Shows what went wrong; nothing may leave, since a host's call is being answered.
void Report(const Exception& error) noexcept {
    try {
        ShowError(error);
    } catch (...) {
        // Out of memory while showing a message: the caller's result still says "not done".
    }
}

// Runs `action`, turning anything it raises into a message to the user. True when it completed.
template <typename Action>
bool RunReporting(Action&& action) noexcept {
    try {
        action();
        return true;
    } catch (const Exception& e) {
        Report(e);
    } catch (const std::exception& e) {
        Report(Exception(e.what()));
    } catch (...) {
        Report(Exception(std::string("Неизвестная ошибка"_cp)));
    }
    return false;
}

// True (the dialog closes) only once the file is saved; otherwise the user has been told why and
// the dialog stays open.
bool WriteConfiguration(const TfmConfig& dialog, TXmlDocument& document, const std::string& path) noexcept {
    return RunReporting([&] {
        WriteConnection(dialog, document);
        WriteTanks(dialog, document);
        Save(document, path);
    });
}

// ---- The module ----------------------------------------------------------------------------------

// Everything one Configure builds. Members go in reverse order of declaration: the dialog with its
// entries, the document, the query, the transaction, the database, and last the host's
// attachment, which the database object uses until it is gone.
struct TConfigureSession {
    IntfPtr<IHostDatabase> hostDatabase;
    std::unique_ptr<TIscDatabase> database;
    std::unique_ptr<TIscTransaction> transaction;
    std::unique_ptr<TIscQuery> query;
    std::unique_ptr<TXmlDocument> document;
    std::unique_ptr<TfmConfig> dialog;
};

class TModule final : public RefCounted<IConfigModule> {
public:
    TModule(IConfigApplication* application, std::string path)
        : application_(IntfPtr<IConfigApplication>::Borrow(application)), path_(std::move(path)) {}

    void Configure(std::int32_t, bool* confirmed) noexcept override {
        bool saved = false;
        RunReporting([&] { saved = ShowDialog(); });
        if (confirmed) *confirmed = saved;
    }

private:
    // True when the user confirmed and the file was saved. The session is freed before an error
    // reaches the user.
    bool ShowDialog() {
        TConfigureSession session;
        session.document = LoadXmlDocument(path_);
        session.dialog = std::make_unique<TfmConfig>(static_cast<QWidget*>(HostWindow()));
        session.database = std::make_unique<TIscDatabase>(kClientLibrary);
        session.transaction = std::make_unique<TIscTransaction>(session.database.get());
        session.query = std::make_unique<TIscQuery>(session.transaction.get());
        session.query->SetSQL(kTankQuery);

        TfmConfig& dialog = *session.dialog;
        TXmlDocument& document = *session.document;
        ShowConnection(dialog, document);
        session.hostDatabase = HostDatabase(*application_.get());
        session.database->SetHandle(OpenHandle(*session.hostDatabase.get()));
        session.transaction->StartTransaction();
        session.query->Open();
        // Looked up without creating it, so that "ОК" appends a missing table after "port", in
        // the order every saved file has.
        ShowTanks(dialog, *session.query, FindNode(&document, config::kTanks, false));

        dialog.SetOkHandler([&] { return WriteConfiguration(dialog, document, path_); });
        return dialog.ShowModal() == mrOk;
    }

    const IntfPtr<IConfigApplication> application_;
    const std::string path_;
};

}  // namespace

IInterface* NewConfigModule(TXmlDocument&, IConfigApplication* application, const std::string& path) {
    return NewCounted<TModule>(application, path)->AsInterface();
}

}  // namespace levrano
