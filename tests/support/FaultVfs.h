#pragma once
// A file layer for the database engine that wraps the system's default one and fails the N-th
// call of one kind (read, write, sync, truncate, delete, lock) the way a failing disk or share
// does: an I/O error, a full disk, or a write that stopped halfway. Installed as the process's
// default, it is what every connection the program opens uses, without a change to the program.

#include <cstddef>
#include <string>

namespace fault {

enum class Call { Read, Write, Sync, Truncate, Delete, Lock };
constexpr std::size_t kCallKinds = 6;
enum class Kind {
    IoError,    // the call fails with the engine's I/O error of that call
    DiskFull,   // the write fails with "disk full" and writes nothing
    ShortWrite, // the first half of the bytes reach the file, then "disk full"
};

struct Plan {
    Call call = Call::Write;
    Kind kind = Kind::IoError;
    int n = 1;               // the first failing call of that kind, counted from Arm
    bool persistent = false; // every later call of that kind fails as well (a disk that stays full)
};

std::string Name(Call call);
std::string Name(Kind kind);

// Registers the wrapper as the default file layer; once per process, before the first connection.
void Install();

// Starts counting the calls from zero and fails them as the plan says.
void Arm(const Plan& plan);
// No call fails any more; the counts stay readable.
void Disarm();
// A call failed since the last Arm.
bool Fired();
// Calls of that kind since the last Arm.
int Calls(Call call);

// Fails as planned while it lives.
class Armed {
public:
    explicit Armed(const Plan& plan) { Arm(plan); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
    ~Armed() { Disarm(); }
};

} // namespace fault
