// Sends this process's WinINet traffic to a local server through the proxy setting, the way
// the service stand-in is reached, without touching the settings of the Wine prefix: the
// current user's registry root is overridden, for this process only, by a private volatile
// key that holds the Internet settings.
#pragma once

// Every later InternetOpen with the system's settings uses 127.0.0.1:port as its proxy.
// False if the private key could not be set up.
bool RouteInternetThrough(int port);
// Gives the process the real current-user root again and deletes the private key.
void EndInternetRouting();
