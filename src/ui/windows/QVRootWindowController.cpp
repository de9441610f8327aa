#include "ui/windows/QVRootWindowController.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include "bridge/QVUIController.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"
#include "ui/windows/QVAboutWindowController.h"

namespace windows {
namespace {

QLabel* makeCaption(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont font(QStringLiteral("Helvetica Light"));
    font.setPixelSize(14);
    label->setFont(font);
    label->hide();
    return label;
}

} // namespace

QVRootWindowController::QVRootWindowController(QWidget* parent) : ui::TCImageWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
    frame_ = new DialogFrame(this, DialogFrame::Look{kTitleBarHeight, 8, QRect(), 14});
    resize(kWidth, kContentHeight + kTitleBarHeight);
    windowDidLoad();
}

QVRootWindowController::~QVRootWindowController()
{
    ui::NotificationCenter::defaultCenter().removeObserver(this);
}

void QVRootWindowController::awakeFromNib()
{
    frame_->awakeFromNib();
}

void QVRootWindowController::windowDidLoad()
{
    // (A second running copy is refused before any window is made.)
    QVUIController::initFileType();
    auto& centre = ui::NotificationCenter::defaultCenter();
    centre.addObserver(this, QStringLiteral("ChangeWindowTitle"), [this](const ui::Notification&) {
        changeWindowTitle();
    });
    selectScanType_ = 1;
    frame_->windowDidLoad();
    setTopButtonMoveUp(5);
    if (!titleLabel_ && titleBarView() != nullptr) {
        titleLabel_ = new QLabel(titleBarView());
        titleLabel_->setObjectName(QStringLiteral("titleLabel"));
        QFont font(QStringLiteral("Helvetica Neue Light"));
        font.setPixelSize(14);
        font.setWeight(QFont::Light);
        titleLabel_->setFont(font);
        titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        titleLabel_->setGeometry(ui::fromBottomLeft(kTitleBarHeight, 80, 18, 300, 25));
        titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
        titleLabel_->show();
    }
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("mainContent"));
    content->setAutoFillBackground(true);
    QPalette pal = content->palette();
    pal.setColor(QPalette::Window, Qt::white);
    content->setPalette(pal);
    setContentView(content);
    pageHost_ = new QWidget(content);
    pageHost_->setObjectName(QStringLiteral("pageHost"));
    pageHost_->setGeometry(0, 0, 2 * kWidth, kContentHeight);
    buildBottomButtons(content);
    buildTileBarView();
    InfoButtonClick();
    ui::TCWindowButton* close = standardWindowButton(ui::TCWindowButton::Close);
    if (close != nullptr) {
        close->disconnect(this);
        connect(close, &QAbstractButton::clicked, this, &QVRootWindowController::closeWindow);
    }
    QVUIController::ReleaseDataRecovery();
}

void QVRootWindowController::buildBottomButtons(QWidget* content)
{
    const int h = kContentHeight;
    backHomeButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 30, 25, 41, 41), content);
    backHomeButton_->setObjectName(QStringLiteral("backHomeButton"));
    backHomeButton_->setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("back_press"),
                                                QStringLiteral("back_hover"), QStringLiteral("back_disable"));
    backHomeButton_->hide();
    backLabel_ = makeCaption(content, QStringLiteral("backLabel"));
    backLabel_->setGeometry(ui::fromBottomLeft(h, 80, 33, 200, 25));
    continueButton_ = new ui::TCImageButton(ui::fromBottomLeft(h, 742, 25, 138, 41), content);
    continueButton_->setObjectName(QStringLiteral("continueButton"));
    continueButton_->setImageFromFileNormalName(QStringLiteral("continue_normal"), QStringLiteral("continue_press"),
                                                QStringLiteral("continue_hover"), QStringLiteral("continue_disable"));
    continueButton_->hide();
    continueLabel_ = makeCaption(content, QStringLiteral("continueLabel"));
    continueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    continueLabel_->setGeometry(ui::fromBottomLeft(h, 530, 33, 200, 25));
}

void QVRootWindowController::buildTileBarView()
{
    setShowsTitle(false);
    if (!aboutButton_ && titleBarView() != nullptr) {
        aboutButton_ = new ui::TCImageButton(ui::fromBottomLeft(kTitleBarHeight, 860, 20, 16, 16), titleBarView());
        aboutButton_->setObjectName(QStringLiteral("aboutButton"));
        aboutButton_->setImageFromFileNormalName(QStringLiteral("icon_infor"), QStringLiteral("icon_infor_hover"),
                                                 QStringLiteral("icon_infor_hover"), QStringLiteral("icon_infor"));
        aboutButton_->setToolTip(QStringLiteral("About us"));
        connect(aboutButton_, &QAbstractButton::clicked, this, &QVRootWindowController::aboutAction);
        aboutButton_->show();
    }
    createImportButton();
}

void QVRootWindowController::createImportButton()
{
    if (importButton_ || titleBarView() == nullptr)
        return;
    importButton_ = new ui::TCImageButton(ui::fromBottomLeft(kTitleBarHeight, 828, 20, 16, 16), titleBarView());
    importButton_->setObjectName(QStringLiteral("importButton"));
    importButton_->setImageFromFileNormalName(QStringLiteral("icon_import"), QStringLiteral("icon_import_hover"),
                                              QStringLiteral("icon_import_hover"), QStringLiteral("icon_import"));
    importButton_->setToolTip(ui::Strings::text(QStringLiteral("NQT_TWO_IMPORT_BUTTON")));
    connect(importButton_, &QAbstractButton::clicked, this, &QVRootWindowController::importButtonAction);
    importButton_->show();
}

QWidget* QVRootWindowController::makeCategoryPage(QWidget* host)
{
    auto* page = new QWidget(host);
    page->setObjectName(QStringLiteral("categoryPage"));
    return page;
}

void QVRootWindowController::InfoButtonClick()
{
    setTitleBarHeight(kTitleBarHeight);
    delete categoryPage_;
    categoryPage_ = makeCategoryPage(pageHost_);
    if (categoryPage_) {
        categoryPage_->setGeometry(0, 0, kWidth, kContentHeight);
        categoryPage_->show();
    }
    whichPage_ = CategoryPage;
    if (backHomeButton_)
        backHomeButton_->setIsFocus(false);
}

void QVRootWindowController::changeWindowTitle()
{
    if (titleLabel_)
        titleLabel_->setText(ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
}

void QVRootWindowController::closeWindow()
{
    hide();
    ui::NotificationCenter::defaultCenter().post(QStringLiteral("appWillTerminate"));
}

void QVRootWindowController::aboutAction()
{
    QVAboutWindowController::runAbout(this);
}

void QVRootWindowController::importButtonAction()
{
    const QString folder = QString::fromStdString(QVUIController::GetSavePath());
    const QString path = ui::Modal().openFile(this, ui::Strings::text(QStringLiteral("LOAD_SCAN_RESULT")), folder,
                                              QStringLiteral("Quarnel scan results (*.Quarnel)"));
    if (path.isEmpty())
        return;
    QVUIController::SetRecoveryType(127);
    importFilePath_ = path;
    emit importChosen(path);
}

} // namespace windows
