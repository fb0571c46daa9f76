#pragma once
// The server's database: every table the client queries or edits, the server's own
// settings and the two passwords. docs/server.md describes the tables.

class TDatabase;

// 2: the command queue (COMMAND_QUEUE).
inline constexpr int SchemaVersion = 2;

// Creates the tables, indexes and the initial settings and passwords when the file is
// new; brings an older file up to this version and refuses (raises Exception) a file of
// a newer server. Returns true when the database was new.
bool PrepareSchema(TDatabase& db);
