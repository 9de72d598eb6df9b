// SPDX-License-Identifier: MIT
// The port box: an editable combo box that lets its window refill the list each time the user
// opens it, so an adapter plugged in after start-up is offered.
#pragma once

#include <QComboBox>
#include <functional>

class PortComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    // Called before the list opens.
    std::function<void()> OnListOpening;

    void showPopup() override
    {
        if (OnListOpening)
            OnListOpening();
        QComboBox::showPopup();
    }
};
