// Every QtWidgets header includes this one first. This folder comes first on the include
// path of the libraries below the widget layer (and of their tests), so any QtWidgets
// include there stops the build here.
#error "QtWidgets is not available in this layer: widgets live in app/ and windows/"
