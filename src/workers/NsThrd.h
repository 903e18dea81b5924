#pragma once
#include "workers/QueryThread.h"

// NS Lookup: one name or dotted address, and what the lookup found.
class TNsLookupThread : public TQueryThread {
  Q_OBJECT
 public:
  TNsLookupThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup,
                  const QString& name);

 protected:
  void Work() override;

 private:
  const QString FName;
};

// IP Scan: reverse lookups of prefix.first .. prefix.last, one after another.
class TIpScanThread : public TQueryThread {
  Q_OBJECT
 public:
  // onlyFound: nothing at all is shown for an address without a name.
  TIpScanThread(std::shared_ptr<TOutputChannel> channel, TLookupSetup lookup, const QString& prefix,
                int first, int last, bool onlyFound);

 protected:
  void Work() override;

 private:
  void ScanOne(int n);

  const QString FPrefix;
  const int FFirst;
  const int FLast;
  const bool FOnlyFound;
};
