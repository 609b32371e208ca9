module varnlet.modapp {
}
