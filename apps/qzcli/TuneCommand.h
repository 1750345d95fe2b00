#pragma once

#include <QStringList>

class BenchSession;

// qzcli tune: searches the current-loop gains with step tests on the drive and leaves the best
// pair in it.
int runTune(BenchSession& session, const QStringList& args);
