#pragma once

#include <QJsonObject>
#include <QWidget>

#include <memory>

class GamepadDefinder;

// The configuration window's central form: a backdrop frame holding the definition editor, which
// it hands the host's services object and whose library changes it re-emits.
class ManetteConfigurationWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ManetteConfigurationWidget(QWidget* parent = nullptr);
    ~ManetteConfigurationWidget() override;

    // Stores the services object and passes it to the editor.
    void setServices(const QJsonObject& services);
    QJsonObject services() const { return m_services; }
    GamepadDefinder* editor() const;

signals:
    void profilesCatalogChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Form;
    std::unique_ptr<Form> m_form;
    QJsonObject m_services;
};
