#pragma once

#include "settings/ApplyEngineSettings.h"
#include "settings/Settings.h"

#include <QDialog>

#include <functional>
#include <memory>

class IViewQuestions;
class ISoundPlayer;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

// "General preferences": edits the settings record on seven pages. "OK" copies the
// controls into the record, writes the settings file at once and hands the engine-wide
// values to the engine and every live session; a failed write keeps the window open.
// The "Sounds" page stores its choices in the record as they are made, so they outlive
// "Cancel" (which writes nothing) until the next write.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    // Without questions the window asks through its own message boxes and pickers;
    // without a sound player "Start" and "Stop" do nothing.
    TfrmOptions(TSettings& settings, const QString& settingsPath, ISoundPlayer* sounds,
                IViewQuestions* questions, QWidget* parent = nullptr);
    ~TfrmOptions() override;

    // The pressed state of the progress window's pin button, asked on "OK" when the
    // record does not already keep the window pinned; unset means not pressed.
    void SetPinPressed(std::function<bool()> pinPressed);
    // Where "OK" applies the engine-wide values; GuiEngineTargets() unless set.
    void SetEngineTargets(const TEngineTargets& targets);

    int PageCount() const;
    void ShowPage(int index);

    void accept() override;

private:
    QWidget* MakeGeneralPage();
    QWidget* MakeAdvancedPage();
    QWidget* MakeConnectionPage();
    QWidget* MakeConversionsPage();
    QWidget* MakeFirewallPage();
    QWidget* MakeSoundsPage();
    QWidget* MakeFileTypesPage();

    void LoadGeneralPages(); // General, Advanced, Connection
    void SaveGeneralPages(TSettings& settings) const;
    void LoadConversionPages(); // Conversions, Firewall
    void SaveConversionPages(TSettings& settings) const;
    void LoadListPages(); // Sounds, File Types
    void SaveListPages(TSettings& settings) const;

    // A group box of radio buttons numbered from 0 in the order given.
    QGroupBox* MakeRadioGroup(const QString& title, const QString& name, const QStringList& items,
                              QButtonGroup*& group);
    QCheckBox* MakeCheck(const QString& caption, const QString& name);
    QSpinBox* MakeSpin(const QString& name, int lowest, int highest);
    IViewQuestions* Questions();

    void BrowseViewer();
    void BrowseLogFile();
    void BrowseDefaultDir();
    void LogFileEdited(const QString& text);
    void RefreshPreview();
    void EnableFirewall();
    void EventSelected();
    void SoundTextChanged(const QString& text);
    void BrowseSound();
    void EnableFileTypeButtons();
    void AddExtension();
    void RemoveExtension();

    TSettings& Settings_;
    QString SettingsPath_;
    ISoundPlayer* Sounds_;
    IViewQuestions* Questions_;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    std::function<bool()> PinPressed_;
    TEngineTargets Targets_;
    QString ViewerPath_;
    QString LogPath_;
    bool LoadingSound_ = false;

    QTabWidget* Pages_;
    // General
    QLineEdit* EditEMail_;
    QLineEdit* EditViewer_;
    QLineEdit* EditLogFile_;
    QLineEdit* EditDefaultDir_;
    QCheckBox* ChkLogToFile_;
    QCheckBox* ChkShowToolTips_;
    // Advanced
    QCheckBox* ChkNoXferOlder_;
    QCheckBox* ChkASCIIOnView_;
    QCheckBox* ChkPreserveTimeStamp_;
    QCheckBox* ChkConfirmOverwrites_;
    QCheckBox* ChkConfirmRestarts_;
    QCheckBox* ChkListHidden_;
    QButtonGroup* RgTryToResume_;
    QButtonGroup* RgLocalDblClk_;
    QButtonGroup* RgHostDblClk_;
    // Connection
    QCheckBox* ChkShowManager_;
    QCheckBox* ChkPromptForPass_;
    QCheckBox* ChkKeepAlive_;
    QCheckBox* ChkUsePASV_;
    QCheckBox* ChkQuickDisconnect_;
    QCheckBox* ChkSingleConnections_;
    QSpinBox* SpinSimultaneous_;
    QButtonGroup* RgRetry_; // 0 a number of times, 1 until connected
    QSpinBox* SpinRetries_;
    QSpinBox* SpinRetryDelay_;
    QSpinBox* SpinTimeout_;
    QButtonGroup* RgTransferMode_;
    // Conversions
    QButtonGroup* RgCase_;
    QGroupBox* GbSpaces_;
    QButtonGroup* RgSpaces_;
    QLineEdit* EditChar_;
    QCheckBox* ChkShortName_;
    QLabel* LblOriginal_;
    QLabel* LblConverted_;
    // Firewall
    QCheckBox* ChkFirewall_;
    QGroupBox* GbFirewallType_;
    QButtonGroup* RgFirewallType_;
    QGroupBox* GbServer_;
    QLineEdit* EditFirewallHost_;
    QSpinBox* SpinFirewallPort_;
    QGroupBox* GbUser_;
    QLineEdit* EditFirewallUser_;
    QLineEdit* EditFirewallPassword_;
    // Sounds
    QTreeWidget* TvEvents_;
    QGroupBox* GbSoundEffect_;
    QComboBox* CmbSound_;
    QPushButton* BtnStart_;
    // File Types
    QListWidget* LbExtensions_;
    QLineEdit* EditExtension_;
    QPushButton* BtnAdd_;
    QPushButton* BtnRemove_;
};
