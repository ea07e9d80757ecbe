# Bash completion for quenda-ipod-cli: the verbs come from the tool's own --help, so the list
# never falls behind the program; after a verb, file names.
_quenda_ipod_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        local verbs
        verbs=$("${COMP_WORDS[0]}" --help 2>/dev/null |
            sed -n '/^Verbs:/,/^$/{/^  [a-z]/{s/^  \([a-z][a-z0-9-]*\).*/\1/;p}}')
        mapfile -t COMPREPLY < <(compgen -W "$verbs --help --version --quiet" -- "$cur")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    compopt -o filenames 2>/dev/null
}
complete -F _quenda_ipod_cli quenda-ipod-cli
