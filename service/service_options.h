// The command line of quavella-service.
#pragma once
#include <cstdint>
#include <string>

struct ServiceOptions {
  std::string listenHost;       // --listen HOST:PORT ("[::1]:80" for IPv6)
  uint16_t listenPort = 0;
  std::string metricsHost;      // --metrics-listen HOST:PORT: /metrics there, not on --listen
  uint16_t metricsPort = 0;
  std::string dataFolder;       // --data: the embedded store (SQLite)
  std::string databaseUrl;      // --database: PostgreSQL, shared by several nodes
  int databaseConnections = 8;  // --database-connections
  int statementTimeout = 5;     // --statement-timeout, seconds
  std::string publicUrl;        // --public-url, without a trailing "/"; "" until known
  std::string installer;        // --installer
  int retentionDays = 30;       // --retention-days
  uint32_t uploadsPerHour = 20; // --uploads-per-hour
  int maxConnections = 1024;    // --max-connections
  int connectionsPerAddress = 64;  // --connections-per-address
  int bodyMemoryMiB = 64;       // --body-memory, MiB for the bodies being read together
  int threads = 0;              // --threads; 0: one per processor, at least 2
  bool trustForwardedFor = false;  // --trust-forwarded-for
  std::string readyFile;        // --ready-file
  bool help = false;            // --help
};

// Reads argv[1..]; options take their value as the next argument or after "=". False with
// `error` for an unknown option, a missing or malformed value, or a missing required one
// (--listen; --data or --database, not both; --public-url unless the service listens on one
// address of its own).
bool ParseServiceOptions(int argc, const char* const* argv, ServiceOptions& options,
                         std::string& error);

// The --help text.
std::string ServiceUsage();

// "http://HOST:PORT" for a service listening there (IPv6 hosts in brackets; a service on
// every address is reached through the loopback address).
std::string LocalUrl(const std::string& host, uint16_t port);
