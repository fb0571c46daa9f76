#pragma once
// The server's database: every table the client queries or edits, the server's own
// settings and the two passwords. docs/server.md describes the tables.

class TDatabase;

inline constexpr int SchemaVersion = 1;

// Creates the tables, indexes and the initial settings and passwords when the file is
// new; checks the schema version of an existing file (raises Exception when it is from
// a newer server). Returns true when the database was new.
bool PrepareSchema(TDatabase& db);
