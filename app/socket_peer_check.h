#pragma once

// Whether PAPPL's authorization calls reach this program's check of the
// control socket's clients (see socket_peer_check.cpp); the server must not
// start without it.
bool SocketPeerCheckIsBound();
