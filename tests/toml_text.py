"""The one TOML writer of the test harnesses: varnlet-pack configurations from dicts."""

def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(toml_value(v) for v in value) + "]"
    escapes = {"\\": "\\\\", '"': '\\"', "\n": "\\n", "\r": "\\r", "\t": "\\t"}
    return '"' + "".join(escapes.get(c, c if c >= " " and c != "\x7f" else f"\\u{ord(c):04X}") for c in str(value)) + '"'

def toml_text(config):
    """Plain keys first, then one table per nested dict."""
    lines = [f"{key} = {toml_value(value)}" for key, value in config.items() if not isinstance(value, dict)]
    for table, values in config.items():
        if isinstance(values, dict):
            lines += [f"\n[{table}]"] + [f"{toml_value(str(key))} = {toml_value(v)}" for key, v in values.items()]
    return "\n".join(lines) + "\n"
