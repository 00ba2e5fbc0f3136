// The About box: product, version with its build date in words, legal notice, contacts and links.
#pragma once

#include "app/DesktopServices.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace velda {

/// Placeholder contact data of the maker.
inline constexpr const char *kMakerEmail = "info@velda9.example";
inline constexpr const char *kMakerWeb = "https://velda9.example";
inline constexpr const char *kMakerPhones = "000-00-00\n000-00-01";
inline constexpr const char *kLegalNotice = "Copyright (C) 2018-2026 VELDA-9 developers";

/// Modal, fixed-size; created per opening and destroyed after it closes. Texts are set once, at
/// creation, in the language current then. GUI thread only.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    /// Links open through `opener`, which must outlive the box.
    explicit TAboutBox(const UrlOpener &opener, QWidget *parent = nullptr);

    void LabelEMailClick();
    void LabelWWWClick();

    QFrame *Panel1 = nullptr;
    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *txtCopyright = nullptr;
    QLabel *Comments = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *LabelEMail = nullptr;
    QLabel *LabelWWW = nullptr;
    QPushButton *OKButton = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();

    const UrlOpener &m_urlOpener;
};

} // namespace velda
