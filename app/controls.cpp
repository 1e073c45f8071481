#include "app/controls.h"

void TControl::SetVisible(bool visible)
{
    visible_ = visible;
    if (Peer)
        Peer->VisibleChanged(visible);
}

void TStatusBar::SetPanelText(const std::string& text)
{
    text_ = text;
    if (Peer)
        Peer->TextChanged(text);
}

void TMemo::Clear()
{
    lines_.clear();
    pending_.clear();
    replaced_ = true;
}

void TMemo::Add(const std::string& line)
{
    // Lines are joined by CR LF, as the edit control shows them.
    if (!lines_.empty())
        pending_ += "\r\n";
    lines_.push_back(line);
    pending_ += line;
}

bool TSaveDialog::Execute()
{
    return Runner && Runner->Run(*this);
}
