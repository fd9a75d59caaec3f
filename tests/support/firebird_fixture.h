// A fresh Firebird database for tests and benchmarks: a file in its own temporary folder,
// created in embedded mode with the default character set WIN1251, and attached the way a host
// attaches the station's database. Failures throw std::runtime_error with the server's text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace levrano::test {

class FirebirdDatabase {
public:
    // Creates the database and runs each setup statement in its own committed transaction.
    explicit FirebirdDatabase(const std::vector<std::string>& setup = {});
    ~FirebirdDatabase();
    FirebirdDatabase(const FirebirdDatabase&) = delete;
    FirebirdDatabase& operator=(const FirebirdDatabase&) = delete;

    // The host's attachment, as a host hands it to the module.
    std::uint32_t Handle() const { return handle_; }
    const std::string& Path() const { return path_; }

    // Runs one statement (DDL or DML) in its own transaction and commits it.
    void Execute(const std::string& sql);
    // The first column of the first row of a query, read as a 64-bit integer.
    std::int64_t QueryInteger(const std::string& sql);
    // Stores `values` into the integer array column of every row of `table` (SQL cannot).
    void StoreIntegerArray(const std::string& table, const std::string& column, std::vector<int> values);

private:
    std::string folder_;
    std::string path_;
    std::uint32_t handle_ = 0;
};

}  // namespace levrano::test
