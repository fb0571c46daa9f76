#pragma once
// For a test class whose tests share a server: the server, its database file opened
// directly (to seed it, or to read what the server should answer) and a wire client
// logged in as the administrator. The class derives from it and calls StartFixture in
// init or initTestCase and StopFixture in the matching cleanup.

#include "server/Database.h"
#include "support/TestServer.h"
#include "support/WireClient.h"

#include <memory>

class TWireFixture {
protected:
    // An empty database, or the demo installation up to demoDay when that is valid; false
    // (with the reason when the server did not start) when a step fails.
    bool StartFixture(TDatabase::TMode mode, const QDate& demoDay = QDate(), QString* error = nullptr)
    {
        RegisterProtocolTypes();
        server_ = std::make_unique<TTestServer>();
        if (!(demoDay.isValid() ? server_->StartDemo(demoDay, error) : server_->Start(error)))
            return false;
        db_ = std::make_unique<TDatabase>(server_->DatabasePath(), mode);
        client_ = std::make_unique<TWireClient>();
        return client_->OpenAsAdministrator(server_->Port());
    }
    void StopFixture()
    {
        client_.reset();
        db_.reset();
        server_.reset();
    }

    std::unique_ptr<TTestServer> server_;
    std::unique_ptr<TDatabase> db_;
    std::unique_ptr<TWireClient> client_;
};
