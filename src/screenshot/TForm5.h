// The screenshot window: reads the instrument's screen, shows it in two colours, saves it as a BMP and
// puts it on the clipboard.
#pragma once

#include "base/WindowServices.h"
#include "device/Exchange.h"
#include "screenshot/PixelMatrix.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace velda {

/// The picture area: draws its image stretched to the whole area with square pixels left sharp.
class ScreenPicture : public QWidget {
public:
    explicit ScreenPicture(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    [[nodiscard]] const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

/// The picture of a screen image: `pen` where the framed matrix is lit, `background` elsewhere.
[[nodiscard]] QImage ScreenImageToPicture(const PixelMatrix &matrix, QColor pen, QColor background);

/// Modal screenshot window, created per opening. Update starts a screen read (exchange mode 2) with this
/// window as gauge and status label; a 500 ms poll draws the picture once the gauge shows 100. Closing
/// the window while a read still runs ends that exchange. GUI thread only.
class TForm5 : public QDialog, public Gauge, public StatusLabel {
    Q_OBJECT
public:
    /// `services` ask for the file name, show a failed save, pause the exchanges and name the open project,
    /// which a saved picture may not replace.
    explicit TForm5(QWidget *parent = nullptr, WindowServices services = DefaultWindowServices());
    ~TForm5() override;

    void Button1Click();
    void CheckBox1Click();
    void Timer1Timer();

    // Gauge and StatusLabel for the exchange's status display (GUI thread).
    void setGaugeValue(int percent) override;
    void hideGauge() override;
    void setStatusText(const QString &text) override;

    /// True from Update until the picture of that read is drawn.
    [[nodiscard]] bool reading() const { return m_reading; }
    /// The file every later picture is saved to (empty: none chosen).
    [[nodiscard]] const QString &fileName() const { return m_fileName; }

    ScreenPicture *Image1 = nullptr;
    QPushButton *Button1 = nullptr;
    QProgressBar *CGauge1 = nullptr;
    QLabel *Label3 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *ColorBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ColorBox2 = nullptr;
    QTimer *Timer1 = nullptr;

    /// Selects `colour` in a colour list, adding it when the list lacks it.
    static void selectColor(QComboBox *box, QColor colour);
    /// The colour a colour list has selected.
    [[nodiscard]] static QColor selectedColor(const QComboBox *box);

    void done(int result) override;

private:
    /// Asks for the file name when the save box is ticked; "" when the user cancels.
    [[nodiscard]] QString OpenPictureDialog1();
    void stopRead();
    void backToIdle();

    WindowServices m_services;
    bool m_reading = false;
    QString m_fileName;
};

} // namespace velda
