#pragma once
// The database schema, as numbered migrations applied in order. The texts are
// plain SQL that SQLite and PostgreSQL both take.
#include "lib/sql/session.h"

namespace server {

// Applies the migrations the database has not seen yet; returns the version
// it is at afterwards.
int Migrate(sql::Session& session);
int LatestSchemaVersion();

}  // namespace server
