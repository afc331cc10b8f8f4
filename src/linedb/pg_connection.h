// A connection to the line database over libpq: statements with their
// parameters sent apart from the text (never spliced into it), results as
// text, and every failure raised as ELineDbError with the server's words.
#pragma once

#include "errors/errors.h"

#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

class ELineDbError : public EISPException {
  public:
    enum TKind {
        ld_unreachable, // no connection, or it broke: the server or the network is away
        ld_refused,     // the server refused the station: password, role, database
        ld_statement,   // a statement failed (SqlState says why)
    };
    ELineDbError(TKind Kind, std::string Message, std::string SqlState = {})
        : EISPException(std::move(Message)), FKind(Kind), FSqlState(std::move(SqlState)) {}
    TKind Kind() const { return FKind; }
    const std::string& SqlState() const { return FSqlState; }
    bool UniqueViolation() const { return FSqlState == "23505"; }

  private:
    TKind FKind;
    std::string FSqlState;
};

using TPgParams = std::vector<std::optional<std::string>>;

class TPgResult {
  public:
    explicit TPgResult(pg_result* Result) : FResult(Result) {}
    ~TPgResult();
    TPgResult(TPgResult&& Other) noexcept : FResult(Other.FResult) { Other.FResult = nullptr; }
    TPgResult(const TPgResult&) = delete;
    TPgResult& operator=(const TPgResult&) = delete;
    TPgResult& operator=(TPgResult&&) = delete;

    int Rows() const;
    bool IsNull(int Row, int Column) const;
    std::string Text(int Row, int Column) const;
    long long Int(int Row, int Column) const;
    pg_result* Raw() const { return FResult; }

  private:
    pg_result* FResult;
};

class TPgConnection {
  public:
    // Connection is a libpq connection string ("host=... dbname=...",
    // "service=line") or a postgresql:// URL; empty takes libpq's defaults
    // (PGHOST, PGDATABASE, PGSERVICE, ...). A password comes from the
    // string, PGPASSWORD, the password file (~/.pgpass, PGPASSFILE) or the
    // service file. A connection attempt gives up after 5 s unless the
    // string sets connect_timeout; a statement after 15 s. Raises
    // ELineDbError (ld_unreachable or ld_refused) naming the database
    // without its password.
    explicit TPgConnection(const std::string& Connection);
    ~TPgConnection();
    TPgConnection(const TPgConnection&) = delete;
    TPgConnection& operator=(const TPgConnection&) = delete;

    // Runs one statement; raises ELineDbError (ld_unreachable when the
    // connection broke, ld_statement otherwise) with the server's message.
    TPgResult Exec(const std::string& Sql, const TPgParams& Params = {});
    // Several statements without parameters (a migration).
    void ExecScript(const std::string& Sql);
    // False once the connection broke.
    bool Usable() const;
    // The database as named in messages: "line database <where>".
    const std::string& Name() const { return FName; }

  private:
    TPgResult Checked(TPgResult Result);
    void CheckUsable() const;

    pg_conn* FConn = nullptr;
    std::string FName;
};

// A transaction: BEGIN now, COMMIT by Commit(), ROLLBACK when left without.
class TPgTransaction {
  public:
    explicit TPgTransaction(TPgConnection& Connection);
    ~TPgTransaction();
    TPgTransaction(const TPgTransaction&) = delete;
    TPgTransaction& operator=(const TPgTransaction&) = delete;
    void Commit();

  private:
    TPgConnection& FConnection;
    bool FOpen = true;
};

// The connection string as shown to the operator: a password in it
// replaced by "***".
std::string RedactedConnection(const std::string& Connection);
