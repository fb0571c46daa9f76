#pragma once
// The command queue window's data module: its server calls on CommandsRDM, without
// widgets. Server errors raise EOleSysError, which reaches the process-wide handler.
//
//   TQueueDM dm(connection.CommandsRDM);
//   for (const TQueueDM::TCommand& command : dm.Commands())
//       list->AddRow(command.Text, command.RetryCount);

#include "remote/RemoteModule.h"

#include <QList>
#include <QString>

class TQueueDM {
public:
    // One pending command of the server's queue.
    struct TCommand {
        QString Text;
        int RetryCount = 0;
    };

    explicit TQueueDM(TRemoteModule commandsRDM);

    // The server's queue in its order; empty when the server sends no lists.
    QList<TCommand> Commands() const;
    // Deletes the command at that position of the server's queue.
    void DeleteCommand(int row) const;
    void DeleteAllCommands() const;
    // Queues a command of the operator's own, sent as typed: leading blanks may matter to
    // the exchange.
    void PostCommand(const QString& command) const;
    // Whether the exchange's control protocol takes free-form commands.
    bool TakesCustomCommands() const;

    // Control protocols whose commands are free text: modem (2) and direct commands (3).
    static bool TakesCustomCommands(int protocol) { return protocol == 2 || protocol == 3; }

private:
    TRemoteModule commandsRDM_;
};
