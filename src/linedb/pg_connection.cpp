#include "linedb/pg_connection.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <regex>

namespace {

bool IsUrl(const std::string& Connection) {
    return Connection.rfind("postgresql://", 0) == 0 || Connection.rfind("postgres://", 0) == 0;
}

// libpq's message on one line: its lines joined, the "FATAL:" and the
// blanks it pads with dropped.
std::string OneLine(const char* Text) {
    std::string out;
    std::string s = Text ? Text : "";
    std::size_t b = 0;
    while (b < s.size()) {
        std::size_t e = s.find('\n', b);
        if (e == std::string::npos) e = s.size();
        std::string line = s.substr(b, e - b);
        b = e + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        line = std::regex_replace(line, std::regex("(FATAL|ERROR):  "), "");
        if (!out.empty()) out += "; ";
        out += line;
    }
    return out.empty() ? std::string("no reason given") : out;
}

std::string WithDefaults(const std::string& Connection) {
    std::string c = Connection;
    if (c.find("connect_timeout") == std::string::npos) {
        if (IsUrl(c))
            c += (c.find('?') == std::string::npos ? "?" : "&") + std::string("connect_timeout=5");
        else
            c += (c.empty() ? "" : " ") + std::string("connect_timeout=5");
    }
    return c;
}

} // namespace

std::string RedactedConnection(const std::string& Connection) {
    if (IsUrl(Connection)) {
        std::string s =
            std::regex_replace(Connection, std::regex("^(postgres(ql)?://[^:@/]*):[^@/]*@"), "$1:***@");
        return std::regex_replace(s, std::regex("([?&]password=)[^&]*"), "$1***");
    }
    return std::regex_replace(Connection, std::regex("(password\\s*=\\s*)('([^'\\\\]|\\\\.)*'|\\S*)"),
                              "$1***");
}

TPgResult::~TPgResult() {
    if (FResult) PQclear(FResult);
}

int TPgResult::Rows() const {
    return PQntuples(FResult);
}

bool TPgResult::IsNull(int Row, int Column) const {
    return PQgetisnull(FResult, Row, Column) != 0;
}

std::string TPgResult::Text(int Row, int Column) const {
    return std::string(PQgetvalue(FResult, Row, Column),
                       static_cast<std::size_t>(PQgetlength(FResult, Row, Column)));
}

long long TPgResult::Int(int Row, int Column) const {
    return std::strtoll(PQgetvalue(FResult, Row, Column), nullptr, 10);
}

TPgConnection::TPgConnection(const std::string& Connection)
    : FName("line database " +
            (Connection.empty() ? std::string("(libpq defaults)") : RedactedConnection(Connection))) {
    FConn = PQconnectdb(WithDefaults(Connection).c_str());
    if (!FConn) throw ELineDbError(ELineDbError::ld_unreachable, FName + ": out of memory");
    if (PQstatus(FConn) != CONNECTION_OK) {
        const std::string why = OneLine(PQerrorMessage(FConn));
        const bool refused = PQconnectionNeedsPassword(FConn) || PQconnectionUsedPassword(FConn) ||
                             why.find("authentication") != std::string::npos ||
                             why.find("does not exist") != std::string::npos ||
                             why.find("no pg_hba.conf entry") != std::string::npos ||
                             why.find("permission denied") != std::string::npos ||
                             why.find("invalid") != std::string::npos;
        PQfinish(FConn);
        FConn = nullptr;
        throw ELineDbError(
            refused ? ELineDbError::ld_refused : ELineDbError::ld_unreachable,
            (refused ? "The " + FName + " refused the station: " : "The " + FName + " cannot be reached: ") +
                why);
    }
    Exec("SET statement_timeout = 15000");
    Exec("SET client_min_messages = warning");
}

TPgConnection::~TPgConnection() {
    if (FConn) PQfinish(FConn);
}

bool TPgConnection::Usable() const {
    return FConn && PQstatus(FConn) == CONNECTION_OK;
}

TPgResult TPgConnection::Checked(TPgResult Result) {
    pg_result* raw = Result.Raw();
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return Result;
    const char* state = raw ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
    const std::string why = OneLine(raw ? PQresultErrorMessage(raw) : PQerrorMessage(FConn));
    const std::string code = state ? state : "";
    // Class 08 (connection exception) and the administrator's shutdown.
    if (PQstatus(FConn) != CONNECTION_OK || code.empty() || code.rfind("08", 0) == 0 ||
        code.rfind("57P", 0) == 0)
        throw ELineDbError(ELineDbError::ld_unreachable, "The " + FName + " cannot be reached: " + why, code);
    throw ELineDbError(ELineDbError::ld_statement, "The " + FName + ": " + why, code);
}

void TPgConnection::CheckUsable() const {
    if (!Usable())
        throw ELineDbError(ELineDbError::ld_unreachable,
                           "The " + FName + " cannot be reached: the connection broke");
}

TPgResult TPgConnection::Exec(const std::string& Sql, const TPgParams& Params) {
    CheckUsable();
    std::vector<const char*> values;
    for (const auto& p : Params)
        values.push_back(p ? p->c_str() : nullptr);
    return Checked(TPgResult(PQexecParams(FConn, Sql.c_str(), static_cast<int>(values.size()), nullptr,
                                          values.data(), nullptr, nullptr, 0)));
}

void TPgConnection::ExecScript(const std::string& Sql) {
    CheckUsable();
    Checked(TPgResult(PQexec(FConn, Sql.c_str())));
}

TPgTransaction::TPgTransaction(TPgConnection& Connection) : FConnection(Connection) {
    FConnection.Exec("BEGIN");
}

TPgTransaction::~TPgTransaction() {
    if (!FOpen || !FConnection.Usable()) return;
    try {
        FConnection.Exec("ROLLBACK");
    } catch (...) {
    }
}

void TPgTransaction::Commit() {
    FConnection.Exec("COMMIT");
    FOpen = false;
}
