#pragma once

#include <QStringList>

class BenchSession;

// One function per bench job. Each gets the words after its name, checks them before it opens
// the link, and returns the program's exit code.
int runRead(BenchSession& session, const QStringList& args);
int runWrite(BenchSession& session, const QStringList& args);
int runStep(BenchSession& session, const QStringList& args);
int runFaults(BenchSession& session, const QStringList& args);
int runArchive(BenchSession& session, const QStringList& args);
int runParams(BenchSession& session, const QStringList& args);
int runCommit(BenchSession& session, const QStringList& args);
