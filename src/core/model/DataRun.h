#pragma once
// A file's extents: (start, length) in clusters of its partition; a negative
// start marks a sparse run with no location.

#include <list>

struct DataRun {
  long long start = 0;
  long long length = 0;
};

class IDataRunList {
 public:
  virtual ~IDataRunList() = default;
  virtual const DataRun* GetFirst() = 0;
  virtual const DataRun* GetNext() = 0;
  virtual bool IsDone() const = 0;
  virtual int IsResident() const = 0;
  virtual IDataRunList* Clone() const = 0;
  virtual void AddDataRun(const DataRun* run) = 0;
  virtual long long GetOffset() const = 0;
  virtual int GetDataRunListType() const = 0;
  virtual void Release() = 0;
};

class CDataRunList : public IDataRunList {
 public:
  CDataRunList() = default;
  CDataRunList(const CDataRunList&) = delete;
  CDataRunList& operator=(const CDataRunList&) = delete;

  const DataRun* GetFirst() override;
  const DataRun* GetNext() override;
  bool IsDone() const override;
  int IsResident() const override { return m_iResident; }
  IDataRunList* Clone() const override;
  void AddDataRun(const DataRun* run) override;
  long long GetOffset() const override { return 0; }
  int GetDataRunListType() const override { return 5; }
  void Release() override { delete this; }

  std::size_t Count() const { return m_runs.size(); }

 protected:
  int m_iResident = 0;
  std::list<DataRun> m_runs;
  std::list<DataRun>::const_iterator m_cursor = m_runs.cend();
};

[[nodiscard]] IDataRunList* CreateDataRunList();
