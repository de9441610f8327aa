#pragma once
// The two windows that end a recovery: "finished" when it ran to its end
// and "stopped" when the user stopped it (with the number of files
// recovered). Both show the destination folder as a link that opens it in
// the file manager.

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <cstdint>

#include "ui/toolkit/TCImageWindow.h"
#include "ui/windows/DialogFrame.h"

namespace windows {

class RecoveryEndWindowBase : public ui::TCImageWindow {
  Q_OBJECT
 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 220;

  // Opens the folder of the link (nothing for an empty one).
  void jumpToSavePath();
  QLabel* savePathLabel() const { return savePathLabel_; }
  QPushButton* okButton() const { return okButton_; }
  DialogFrame* frame() const { return frame_; }
  const QString& savePath() const { return savePath_; }

 protected:
  RecoveryEndWindowBase(const QString& name, const DialogFrame::Look& look, QWidget* parent);
  void setLinkPath(const QString& path);

  DialogFrame* frame_ = nullptr;
  QWidget* content_ = nullptr;
  QPointer<QLabel> savePathLabel_;
  QPointer<QPushButton> okButton_;
  QString savePath_;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The recovery ran to its end.
class QVScanEndSaveWindowController : public RecoveryEndWindowBase {
  Q_OBJECT
 public:
  explicit QVScanEndSaveWindowController(QWidget* parent = nullptr);
  void setSavePathStr(const QString& path);
  // Not every chosen file was written whole: says how many were.
  void setPartial(std::uint64_t written, std::uint64_t chosen);
  void okButtonAction();
  QLabel* recoveryEndTitle() const { return recoveryEndTitle_; }
  QLabel* recoveryEndNode() const { return recoveryEndNode_; }

 private:
  QPointer<QLabel> recoveryEndTitle_;
  QPointer<QLabel> recoveryEndNode_;
};

// The user stopped the recovery.
class QVScanNotEndSaveWindowController : public RecoveryEndWindowBase {
  Q_OBJECT
 public:
  explicit QVScanNotEndSaveWindowController(QWidget* parent = nullptr);
  void changeRecoveryFilesPoint(const QString& path, std::uint64_t files);
  void okButtonAction();
  QLabel* showRecoveryNoteLabel() const { return showRecoveryNoteLabel_; }

 private:
  QPointer<QLabel> showRecoveryNoteLabel_;
};

}  // namespace windows
