#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace zb::ui {

// The location selector of the file dialogs: every mounted volume and the home folder. It shows
// the location that holds the current directory and reports the one the user picks.
class TDriveComboBox final : public QComboBox {
    Q_OBJECT

public:
    explicit TDriveComboBox(QWidget* parent = nullptr);

    // Selects the longest location that contains directory.
    void showDirectory(const QString& directory);

signals:
    void locationChosen(const QString& root);
};

// A directory list: ".." (unless at the root) followed by the subdirectories of one directory,
// sorted without regard to case. Activating an entry (double click, Enter) opens it and reports
// the new directory; the list always holds absolute, cleaned paths.
class TDirectoryListBox final : public QListWidget {
    Q_OBJECT

public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);

    const QString& directory() const { return directory_; }
    // Shows directory without reporting it (the caller already knows).
    void setDirectory(const QString& directory);
    // Opens the entry in row as the user would; false when the row holds nothing.
    bool openRow(int row);

signals:
    void directoryChanged(const QString& directory);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString directory_;
};

} // namespace zb::ui
