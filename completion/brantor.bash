# bash completion for brantor(1): brantor in.pdf out.pdf MODE [OPTION...]

_brantor()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()

    case $COMP_CWORD in
        1)
            if [[ $cur == -?* ]]; then
                mapfile -t COMPREPLY < <(compgen -W '--help -h --version' -- "$cur")
                return 0
            fi
            # Source document: PDF files and folders to descend into; "-" reads standard input.
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -X '!*.[pP][dD][fF]' -- "$cur"; compgen -d -- "$cur")
            ;;
        2)
            # Output file, or the name prefix (or a template such as page-%03d.pdf) of a split
            # into many files; "-" writes standard output.
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            ;;
        3)
            # Page list (-s1,3,7-9, -s5-, -s9-5), chunk size (-s10s), one file per item
            # (-g1-3,4-10), files up to a size (maxsize=10M), odd, even or bookmarks.
            compopt -o nospace 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -W 'odd even bookmarks -s -g maxsize=' -- "$cur")
            # A full word is finished; "-s", "-g" and "maxsize=" still need their value typed.
            if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} != -[sg] && ${COMPREPLY[0]} != *= ]]; then
                COMPREPLY[0]+=' '
            fi
            ;;
        *)
            # Options after the mode; --password= needs its value typed after it.
            compopt -o nospace 2>/dev/null
            # The values of --object-streams=, whether or not "=" breaks words.
            local prev=${COMP_WORDS[COMP_CWORD-1]} values='preserve generate disable'
            if [[ $cur == --object-streams=* ]]; then
                mapfile -t COMPREPLY < <(compgen -P --object-streams= -W "$values" \
                    -- "${cur#--object-streams=}")
            elif [[ $cur == = && $prev == --object-streams ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$values")
            elif [[ $prev == = && ${COMP_WORDS[COMP_CWORD-2]} == --object-streams ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
            elif [[ $cur == --password-file=* ]]; then
                # The file that holds the password; "-" reads standard input.
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -P --password-file= -f -- "${cur#--password-file=}")
            elif [[ $prev == = && ${COMP_WORDS[COMP_CWORD-2]} == --password-file ]] ||
                [[ $cur == = && $prev == --password-file ]]; then
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "${cur#=}")
            else
                mapfile -t COMPREPLY < <(compgen -W '--verbose --dry-run --level= --password=
                    --password-file= --decrypt --object-streams= --version --help' -- "$cur")
            fi
            if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} != *= ]]; then
                COMPREPLY[0]+=' '
            fi
            ;;
    esac
    return 0
} &&
    complete -F _brantor brantor
