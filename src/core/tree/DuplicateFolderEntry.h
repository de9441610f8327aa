#pragma once
// A folder found twice under two names (a FAT directory whose first cluster
// and parent agree) is kept once. Engine nodes that can take over the other
// copy's directory entry (name, times, attributes) implement this; the tree
// builder calls it on the kept copy when the other one is not older.

class IFileNode;

class IDuplicateFolderEntry {
 public:
  virtual void TakeFolderEntry(IFileNode& newer) = 0;

 protected:
  ~IDuplicateFolderEntry() = default;
};
