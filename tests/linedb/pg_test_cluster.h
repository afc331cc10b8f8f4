// The throw-away PostgreSQL cluster the ctest fixture started
// (pg_cluster.sh): connection strings for the administrator, a station and
// the read-only reader, a fresh database per test, and the server stopped
// and started again for an outage.
#pragma once

#include "linedb/pg_connection.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

class TTestCluster {
  public:
    TTestCluster() {
        const char* state = std::getenv("NORVOISP_TEST_PGSTATE");
        if (!state) throw std::runtime_error("NORVOISP_TEST_PGSTATE is not set: run the tests through ctest");
        FState = state;
    }
    std::string Admin() const { return Line("admin"); }
    std::string Station(const std::string& Db) const { return Line("station") + " dbname=" + Db; }
    std::string Reader(const std::string& Db) const { return Line("reader") + " dbname=" + Db; }
    // The socket's folder: a server there, but no database of that name etc.
    std::string Folder() const { return Line("cluster"); }
    // A new, empty database owned by the station role, named Prefix and
    // the running test's name.
    std::string FreshDatabase(const std::string& Prefix) const {
        std::string name = Prefix;
        for (char c : std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        name = name.substr(0, 60);
        TPgConnection admin(Admin());
        admin.Exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        admin.Exec("CREATE DATABASE " + name + " OWNER station");
        return name;
    }
    void Pause() const { Script("pause"); }
    void Resume() const { Script("resume"); }

  private:
    std::string Line(const std::string& Name) const {
        std::ifstream in(FState + "/" + Name);
        std::string line;
        if (!std::getline(in, line)) throw std::runtime_error("no " + Name + " in " + FState);
        return line;
    }
    void Script(const std::string& What) const {
        const std::string cmd = "bash '" NORVOISP_PG_CLUSTER_SCRIPT "' " + What + " '" + FState + "'";
        if (std::system(cmd.c_str()) != 0) throw std::runtime_error(cmd + " failed");
    }
    std::string FState;
};
